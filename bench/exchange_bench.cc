// Native throughput of the exchange with event recording: a mixed flow of limit
// orders around a random-walk mid (passive ones, marketable ones priced through
// the mid, and 30% cancels of live orders), the same with stop orders mixed in,
// and Exchange::replay of the recorded log. Plain executable printing its
// figures, under the allocator's default policy and with freed memory kept.
//
//   exchange_bench [requests]      (default 1,000,000; fixed seed)
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

#include "event.h"
#include "exchange.h"
#include "splitmix64.h"

namespace tessarin {
namespace {

constexpr uint64_t kSeed = 0x7E55A61;
constexpr Price kStartMid = 1'000'000;  // far from 0, so the walk stays positive
constexpr int kRuns = 3;                 // timed runs per figure; the best is reported

class Rng : public ::tessarin::testing_support::SplitMix64 {
 public:
  using ::tessarin::testing_support::SplitMix64::SplitMix64;
  Side side() { return below(2) == 0 ? Side::Buy : Side::Sell; }
  // Passive distance from the mid: mostly a few ticks, a thin tail to 200.
  Price offset() { return 1 + static_cast<Price>(below(100) * below(100) / 50); }
};

struct Mix {
  uint64_t cancel_percent;     // cancels of live orders
  uint64_t crossing_percent;   // limit orders priced through the mid
  uint64_t stop_percent;       // stop and trailing-stop submissions
};

// Removes and returns a random id of `live` that is still active in `ex`,
// dropping the ids of orders filled in the meantime.
std::optional<OrderId> take_live(std::vector<OrderId>& live, const Exchange& ex, Rng& rng) {
  while (!live.empty()) {
    const size_t at = rng.below(live.size());
    const OrderId id = live[at];
    live[at] = live.back();
    live.pop_back();
    const std::optional<Order> order = ex.get_order(id);
    if (order && is_active(order->status)) return id;
  }
  return std::nullopt;
}

// Builds the request list by driving a scratch exchange, so that cancels name
// orders that are live at that point of the flow. Shape: a mid that moves one
// tick a quarter of the time, passive limit orders around it, crossing limit
// orders that take liquidity, and cancels of random live orders.
std::vector<Event> make_flow(size_t count, const Mix& mix) {
  Rng rng(kSeed);
  Exchange scratch;
  std::vector<OrderId> live;
  std::vector<Event> flow;
  flow.reserve(count);
  Price mid = kStartMid;
  while (flow.size() < count) {
    if (rng.below(4) == 0) mid += rng.below(2) == 0 ? 1 : -1;
    const uint64_t roll = rng.below(100);
    Event event;
    if (roll < mix.cancel_percent) {
      const std::optional<OrderId> id = take_live(live, scratch, rng);
      if (!id) continue;
      event = CancelEvent{*id};
    } else if (roll < mix.cancel_percent + mix.stop_percent) {
      // Stops a little away from the mid, so that the walk reaches many of them.
      const Side side = rng.side();
      const Price away = 5 + static_cast<Price>(rng.below(40));
      const Price stop = side == Side::Buy ? mid + away : mid - away;
      const uint64_t quantity = 1 + rng.below(100);
      event = rng.below(2) == 0
                  ? Event{SubmitStopMarketEvent{side, stop, quantity}}
                  : Event{SubmitTrailingStopMarketEvent{side, stop, quantity,
                                                        TrailFixed{5 + static_cast<int64_t>(rng.below(40))}}};
    } else {
      const Side side = rng.side();
      const bool cross = roll >= 100 - mix.crossing_percent;
      const Price distance = cross ? -static_cast<Price>(rng.below(5)) : rng.offset();
      const uint64_t quantity = 1 + rng.below(cross ? 300 : 100);
      event = SubmitLimitEvent{side, side == Side::Buy ? mid - distance : mid + distance, quantity,
                               TimeInForce::GTC};
    }
    scratch.apply(event);
    if (std::holds_alternative<SubmitLimitEvent>(event)) live.push_back(scratch.book().next_order_id() - 1);
    flow.push_back(event);
  }
  return flow;
}

// Calls the request operation an event stands for (what a caller would do).
void issue(Exchange& ex, const Event& event) {
  switch (event.index()) {
    case 0: {
      const auto& e = std::get<SubmitLimitEvent>(event);
      ex.submit_limit(e.side, e.price, e.quantity, e.time_in_force);
      break;
    }
    case 1: {
      const auto& e = std::get<SubmitMarketEvent>(event);
      ex.submit_market(e.side, e.quantity);
      break;
    }
    case 2: ex.cancel(std::get<CancelEvent>(event).order_id); break;
    default: ex.apply(event); break;
  }
}

// Wall time and this thread's CPU time: on a shared machine the CPU time shows
// what one core achieves while other processes take turns on it.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = thread_cpu_seconds();

  static double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
  double wall_seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  }
  double cpu_seconds() const { return thread_cpu_seconds() - cpu; }
};

struct Timing {
  double wall = 1e300;
  double cpu = 1e300;
  void keep_best(const Stopwatch& sw) {
    wall = std::min(wall, sw.wall_seconds());
    cpu = std::min(cpu, sw.cpu_seconds());
  }
};

struct Figures {
  Timing time;
  size_t trades = 0;
  size_t events = 0;
  size_t event_capacity = 0;
};

Figures run_flow(const std::vector<Event>& flow) {
  Figures f;
  for (int run = 0; run < kRuns; ++run) {
    Exchange ex;
    const Stopwatch sw;
    for (const Event& event : flow) issue(ex, event);
    f.time.keep_best(sw);
    f.trades = ex.trades().size();
    f.events = ex.events().size();
    f.event_capacity = ex.events().capacity();
  }
  return f;
}

Timing best_replay(const std::vector<Event>& flow, const Exchange& reference) {
  Timing best;
  for (int run = 0; run < kRuns; ++run) {
    const Stopwatch sw;
    const Exchange replayed = Exchange::replay(flow);
    best.keep_best(sw);
    if (!(replayed == reference)) {
      std::fprintf(stderr, "replay differs from the live run\n");
      std::exit(1);
    }
  }
  return best;
}

void describe(const char* name, const std::vector<Event>& flow, const Figures& f) {
  size_t counts[std::variant_size_v<Event>] = {};
  for (const Event& e : flow) ++counts[e.index()];
  const double n = static_cast<double>(flow.size());
  std::printf("%s: %zu requests (limit %zu, cancel %zu = %.1f%%, stop %zu), %zu trades\n", name, flow.size(),
              counts[0], counts[2], 100.0 * static_cast<double>(counts[2]) / n,
              flow.size() - counts[0] - counts[2], f.trades);
}

void report(const char* heap, size_t requests, const Timing& t) {
  const double n = static_cast<double>(requests);
  std::printf("  %-10s wall %.3f s = %5.2f M requests/s (%5.1f ns); CPU %.3f s = %5.2f M requests/s (%5.1f ns)\n",
              heap, t.wall, n / t.wall / 1e6, t.wall * 1e9 / n, t.cpu, n / t.cpu / 1e6, t.cpu * 1e9 / n);
}

}  // namespace
}  // namespace tessarin

int main(int argc, char** argv) {
  using namespace tessarin;
  const size_t count = argc > 1 ? static_cast<size_t>(std::strtoull(argv[1], nullptr, 10)) : 1'000'000;
  std::printf("exchange benchmark, seed %#llx, best of %d, every request recorded as an event\n",
              static_cast<unsigned long long>(kSeed), kRuns);

  const std::vector<Event> mixed = make_flow(count, Mix{30, 10, 0});
  const std::vector<Event> with_stops = make_flow(count, Mix{30, 10, 5});
  Exchange reference;
  for (const Event& e : mixed) issue(reference, e);

  // Cold heap: glibc's default policy returns freed large blocks to the system,
  // so every run faults the pages of its histories in afresh.
  const Figures mixed_cold = run_flow(mixed);
  const Timing replay_cold = best_replay(mixed, reference);
  const Figures stops_cold = run_flow(with_stops);
  // Warm heap: freed memory stays with the process and is reused, as in a
  // long-lived process that runs simulation after simulation.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
  const Figures mixed_warm = run_flow(mixed);
  const Timing replay_warm = best_replay(mixed, reference);
  const Figures stops_warm = run_flow(with_stops);

  describe("mixed flow", mixed, mixed_cold);
  report("cold heap", mixed.size(), mixed_cold.time);
  report("warm heap", mixed.size(), mixed_warm.time);
  std::printf("Exchange::replay of those %zu events:\n", mixed.size());
  report("cold heap", mixed.size(), replay_cold);
  report("warm heap", mixed.size(), replay_warm);
  describe("mixed flow with 5% stop orders (half of them trailing)", with_stops, stops_cold);
  report("cold heap", with_stops.size(), stops_cold.time);
  report("warm heap", with_stops.size(), stops_warm.time);
  // An Event owns no heap memory: the log costs its element size, plus spare
  // capacity the process has reserved but not touched.
  std::printf("event log: sizeof(Event) = %zu bytes per recorded event; capacity %zu for %zu events (%.1f bytes "
              "per event reserved)\n",
              sizeof(Event), mixed_cold.event_capacity, mixed_cold.events,
              static_cast<double>(mixed_cold.event_capacity * sizeof(Event)) /
                  static_cast<double>(mixed_cold.events));
  return 0;
}

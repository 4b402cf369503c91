// Order book benchmark: throughput of a mixed order flow around a random-walk mid,
// the cost of each operation kind, and the memory a resting order costs.
// Plain executable; fixed seed, so every run replays the same flow.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

#include "book.h"
#include "splitmix64.h"

// ---- allocation counting -----------------------------------------------------
// Every operator new in the process goes through here, so the live-bytes figure
// includes allocator rounding (malloc_usable_size), not just requested sizes.
namespace {
size_t g_live_bytes = 0;
}

void* operator new(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  g_live_bytes += malloc_usable_size(p);
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  g_live_bytes -= malloc_usable_size(p);
  std::free(p);
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

using namespace tessarin;
// The thread's CPU clock: the figures are per core, and time spent descheduled
// on a shared machine does not count against the book.
struct Clock {
  using time_point = double;
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
};

constexpr uint64_t kSeed = 0x7E55A41Full;
constexpr size_t kOrders = 1'000'000;
constexpr Price kStartMid = 1'000'000;  // $10,000.00: far from 0, walks freely
constexpr int kRepetitions = 3;          // best of, to damp noise on a shared machine

class Rng : public ::tessarin::testing_support::SplitMix64 {
 public:
  using ::tessarin::testing_support::SplitMix64::SplitMix64;
  // Distance from the mid for passive orders: most within a few ticks, a thin
  // tail out to 200 (sum of two uniforms halves the weight of far ticks).
  Price offset() { return 1 + static_cast<Price>(below(100) * below(100) / 50); }
};

struct Op {
  enum Kind : uint8_t { kAdd, kCancel } kind;
  Side side;
  Price price;
  uint64_t value;  // quantity for an add, id for a cancel
};

// Submits as the exchange does: draw id and timestamp, match, rest or store.
// Returns the number of trades.
size_t submit(OrderBook& book, Side side, Price price, Quantity quantity) {
  Order order = Order::accepted(book.take_order_id(), side, price, quantity,
                                book.take_timestamp(), TimeInForce::GTC);
  const size_t trades = book.match_order_with_policy(order).trades.size();
  if (order.remaining_quantity > 0) {
    book.add_order(order);
  } else {
    book.store_order(order);
  }
  return trades;
}

struct Flow {
  std::vector<Op> ops;
  size_t adds = 0, cancels = 0, marketable = 0;
};

// Moves a random still-active id of `live` to its back, dropping the ids that
// were filled meanwhile; false when none is left.
bool take_live(const OrderBook& book, std::vector<OrderId>& live, Rng& rng) {
  while (!live.empty()) {
    const size_t pick = rng.below(live.size());
    std::swap(live[pick], live.back());
    if (is_active(book.find_order(live.back())->status)) return true;
    live.pop_back();
  }
  return false;
}

// Builds the mixed flow by running it once on a scratch book, so each cancel
// names an order that is live at that point.
Flow make_mixed_flow() {
  Rng rng(kSeed);
  OrderBook book;
  Flow flow;
  std::vector<OrderId> live;
  Price mid = kStartMid;
  while (flow.adds < kOrders) {
    if (rng.below(4) == 0) mid += rng.below(2) == 0 ? 1 : -1;
    const uint64_t roll = rng.below(100);
    if (roll < 30 && take_live(book, live, rng)) {
      book.cancel_order(live.back());
      flow.ops.push_back({Op::kCancel, Side::Buy, 0, live.back()});
      live.pop_back();
      ++flow.cancels;
      continue;
    }
    const Side side = rng.below(2) == 0 ? Side::Buy : Side::Sell;
    const bool cross = roll >= 90;
    const Price distance = cross ? -static_cast<Price>(rng.below(5)) : rng.offset();
    const Price price = side == Side::Buy ? mid - distance : mid + distance;
    const Quantity quantity = 1 + rng.below(cross ? 300 : 100);
    const OrderId id = book.next_order_id();
    submit(book, side, price, quantity);
    if (book.find_order(id)->remaining_quantity > 0) live.push_back(id);
    flow.ops.push_back({Op::kAdd, side, price, quantity});
    ++flow.adds;
    flow.marketable += cross;
  }
  return flow;
}

double seconds_since(Clock::time_point start) { return Clock::now() - start; }

void run_mixed(const Flow& flow) {
  double best = 1e300;
  size_t trades = 0;
  size_t resting = 0;
  for (int rep = 0; rep < kRepetitions; ++rep) {
    OrderBook book;
    trades = 0;
    const auto start = Clock::now();
    for (const Op& op : flow.ops) {
      if (op.kind == Op::kAdd) {
        trades += submit(book, op.side, op.price, op.value);
      } else {
        book.cancel_order(op.value);
      }
    }
    best = std::min(best, seconds_since(start));
    resting = book.full_snapshot().bids.size() + book.full_snapshot().asks.size();
  }
  std::printf("mixed flow: %zu ops (%zu orders, %zu cancels = %.1f%%, %zu marketable), %zu trades\n",
              flow.ops.size(), flow.adds, flow.cancels,
              100.0 * static_cast<double>(flow.cancels) / static_cast<double>(flow.ops.size()),
              flow.marketable, trades);
  std::printf("  %.2f M ops/s, %.1f ns/op (best of %d); %zu levels at the end\n",
              static_cast<double>(flow.ops.size()) / best / 1e6,
              best * 1e9 / static_cast<double>(flow.ops.size()), kRepetitions, resting);
}

long rss_kib() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * 4;
}

// Passive orders only (bids below the mid, asks above), ids in submission order.
std::vector<Op> passive_flow(size_t count, uint64_t seed, Price spread_ticks) {
  Rng rng(seed);
  std::vector<Op> ops;
  ops.reserve(count);
  Price mid = kStartMid;
  for (size_t i = 0; i < count; ++i) {
    if (rng.below(4) == 0) mid += rng.below(2) == 0 ? 1 : -1;
    const Side side = rng.below(2) == 0 ? Side::Buy : Side::Sell;
    // Keep a gap around the mid wider than the walk so nothing crosses.
    const Price distance = 1000 + (spread_ticks == 0 ? rng.offset()
                                                     : static_cast<Price>(rng.below(spread_ticks)));
    ops.push_back({Op::kAdd, side, side == Side::Buy ? mid - distance : mid + distance,
                   1 + rng.below(100)});
  }
  return ops;
}

struct PhaseTimes {
  double add_ns = 1e300, cancel_ns = 1e300, match_ns = 1e300, trades_per_match = 0;
  double bytes_per_order = 0, rss_bytes_per_order = 0;
  size_t levels = 0;
};

// Adds `ops` to a fresh book (timed, memory measured), sweeps part of it with
// marketable orders (timed), then cancels every remaining order in random order
// (timed).
PhaseTimes run_phases(const std::vector<Op>& ops, bool measure_match) {
  PhaseTimes t;
  for (int rep = 0; rep < kRepetitions; ++rep) {
    const size_t bytes_before = g_live_bytes;
    const long rss_before = rss_kib();
    auto* book = new OrderBook();
    auto start = Clock::now();
    for (const Op& op : ops) submit(*book, op.side, op.price, op.value);
    t.add_ns = std::min(t.add_ns, seconds_since(start) * 1e9 / static_cast<double>(ops.size()));
    if (rep == 0) {  // later repetitions reuse freed heap, which RSS does not show
      const double n = static_cast<double>(ops.size());
      t.bytes_per_order = static_cast<double>(g_live_bytes - bytes_before) / n;
      t.rss_bytes_per_order = static_cast<double>(rss_kib() - rss_before) * 1024.0 / n;
    }
    t.levels = book->bids().level_count() + book->asks().level_count();

    if (measure_match) {
      // Each marketable order takes about two resting orders at the touch.
      constexpr size_t kMatches = 100'000;
      Rng rng(kSeed + 1);
      size_t trades = 0;
      start = Clock::now();
      for (size_t i = 0; i < kMatches; ++i) {
        const Side side = rng.below(2) == 0 ? Side::Buy : Side::Sell;
        trades += submit(*book, side, side == Side::Buy ? kMaxPrice : kMinPrice, 100);
      }
      t.match_ns = std::min(t.match_ns, seconds_since(start) * 1e9 / kMatches);
      t.trades_per_match = static_cast<double>(trades) / kMatches;
    }

    std::vector<OrderId> ids;
    book->for_each_order([&](const Order& order) {
      if (is_active(order.status)) ids.push_back(order.id);
    });
    Rng rng(kSeed + 2);
    for (size_t i = ids.size(); i > 1; --i) std::swap(ids[i - 1], ids[rng.below(i)]);
    start = Clock::now();
    for (OrderId id : ids) book->cancel_order(id);
    t.cancel_ns = std::min(t.cancel_ns,
                           seconds_since(start) * 1e9 / static_cast<double>(ids.size()));
    delete book;
  }
  return t;
}

}  // namespace

int main() {
  std::printf("order book benchmark, seed %#llx, best of %d\n",
              static_cast<unsigned long long>(kSeed), kRepetitions);
  // The deep book runs first so that its RSS growth is measured on a fresh heap.
  const PhaseTimes deep = run_phases(passive_flow(kOrders, kSeed + 3, 0), true);
  std::printf("book of %zu resting orders on %zu levels:\n", kOrders, deep.levels);
  std::printf("  add %.1f ns, cancel %.1f ns, match %.1f ns (%.2f trades each)\n", deep.add_ns,
              deep.cancel_ns, deep.match_ns, deep.trades_per_match);
  std::printf("  %.1f bytes per resting order (heap, counted), %.1f (RSS growth)\n",
              deep.bytes_per_order, deep.rss_bytes_per_order);

  run_mixed(make_mixed_flow());

  // Worst cases for the level storage: orders spread evenly over 20000 ticks a
  // side (inserts deep in the sorted level vector), and one order per level.
  const PhaseTimes wide = run_phases(passive_flow(200'000, kSeed + 4, 20'000), false);
  std::printf("wide book, 200000 orders over %zu levels: add %.1f ns, cancel %.1f ns, "
              "%.1f bytes per order\n",
              wide.levels, wide.add_ns, wide.cancel_ns, wide.bytes_per_order);
  const PhaseTimes thin = run_phases(passive_flow(20'000, kSeed + 5, 4'000'000), false);
  std::printf("thin book, 20000 orders over %zu levels: add %.1f ns, cancel %.1f ns, "
              "%.1f bytes per order\n",
              thin.levels, thin.add_ns, thin.cancel_ns, thin.bytes_per_order);
  return 0;
}

// Native throughput of the indicator kernels, in million bars per second: one
// core, 1M bars of seeded random OHLCV, best of a few repetitions. Panel kernels
// run on a 10000 x 100 panel (1M values) and report million values per second.
//
// Times are CPU time of the calling thread, so other work on a shared machine
// does not count. Two columns: "cold heap" under the allocator's default
// policy (glibc hands freed multi-megabyte blocks back to the system, so each
// call faults its result pages in afresh) and "warm heap" with freed memory
// kept for reuse, the setting of a C caller passing its own buffers.
//
// Usage: indicators_bench [bars] [repetitions]
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "indicators/catalogue.h"
#include "indicators/directional.h"
#include "indicators/momentum.h"
#include "indicators/moving_average.h"
#include "indicators/oscillator.h"
#include "indicators/panel.h"
#include "indicators/stochastic.h"
#include "indicators/volatility.h"
#include "indicators/volume.h"
#include "splitmix64.h"

namespace ind = tessarin::indicators;

namespace {

constexpr std::size_t kDefaultBars = 1'000'000;
constexpr int kDefaultRepetitions = 5;
constexpr std::uint64_t kSeed = 20240611;
constexpr std::size_t kPanelNames = 100;

using Rng = ::tessarin::testing_support::SplitMix64;

struct Bars {
  std::vector<double> high, low, close, volume;
};

// A random walk of closes with a bar range around each and a random volume.
Bars make_bars(std::size_t n, std::uint64_t seed) {
  Rng rng{seed};
  Bars b;
  b.high.resize(n);
  b.low.resize(n);
  b.close.resize(n);
  b.volume.resize(n);
  double price = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    price *= 1.0 + (rng.uniform() - 0.5) * 0.02;
    const double range = price * 0.01 * rng.uniform();
    b.close[i] = price;
    b.high[i] = price + range * rng.uniform();
    b.low[i] = price - range * rng.uniform();
    b.volume[i] = std::floor(1000.0 + 99000.0 * rng.uniform());
  }
  return b;
}

double checksum(const ind::Series& s) {
  double acc = 0.0;
  for (double x : s) acc += std::isnan(x) ? 0.0 : x;
  return acc;
}
double checksum(const ind::MacdResult& r) { return checksum(r.macd) + checksum(r.histogram); }
double checksum(const ind::BandsResult& r) { return checksum(r.upper) + checksum(r.lower); }
double checksum(const ind::StochResult& r) { return checksum(r.k) + checksum(r.d); }

double g_sink = 0.0;  // keeps results observable so no call is optimised away

double thread_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Keeps freed blocks in the heap instead of returning them to the system.
void keep_freed_memory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest value glibc accepts
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

struct Case {
  const char* kernel;
  const char* params;
  std::size_t items;  // bars, or panel values
  double target;      // TA-Lib C, M bars/s; 0 when none is set
  std::function<double()> call;  // runs the kernel once, returns a checksum
  double cold = 0.0;
  double warm = 0.0;
};

template <typename Kernel>
std::function<double()> timed(Kernel kernel) {
  return [kernel] { return checksum(kernel()); };
}

// Best CPU time of `reps` calls, in seconds.
double best_seconds(int reps, const std::function<double()>& call) {
  double best = 1e300;
  for (int r = 0; r < reps; ++r) {
    const double t0 = thread_seconds();
    g_sink += call();
    best = std::min(best, thread_seconds() - t0);
  }
  return best;
}

void print(const Case& c) {
  const double m = static_cast<double>(c.items) / 1e6;
  std::printf("%-20s %-8s %9.1f %9.1f", c.kernel, c.params, m / c.cold, m / c.warm);
  if (c.target > 0.0) {
    std::printf(" %7.0f %6.2f\n", c.target, m / c.warm / c.target);
  } else {
    std::printf(" %7s %6s\n", "-", "-");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultBars;
  const int reps = argc > 2 ? std::atoi(argv[2]) : kDefaultRepetitions;
  const Bars b = make_bars(n, kSeed);
  const ind::SeriesView h(b.high), l(b.low), c(b.close), v(b.volume);
  const std::size_t names = kPanelNames;
  const std::size_t cells = n / names * names;
  const ind::SeriesView ph(b.high.data(), cells), pl(b.low.data(), cells),
      pc(b.close.data(), cells);

  std::vector<Case> cases = {
      {"sma", "30", n, 655, timed([&] { return ind::sma(c, 30); })},
      {"ema", "30", n, 295, timed([&] { return ind::ema(c, 30); })},
      {"rsi", "14", n, 110, timed([&] { return ind::rsi(c, 14); })},
      {"macd", "12,26,9", n, 46, timed([&] { return ind::macd(c, 12, 26, 9); })},
      {"bbands", "20,2,2", n, 141, timed([&] { return ind::bbands(c, 20, 2.0, 2.0); })},
      {"bollinger", "20,2,2", n, 0, timed([&] { return ind::bollinger(c, 20, 2.0, 2.0); })},
      {"wilder_atr", "14", n, 96, timed([&] { return ind::wilder_atr(h, l, c, 14); })},
      {"natr", "14", n, 0, timed([&] { return ind::natr(h, l, c, 14); })},
      {"trange", "-", n, 0, timed([&] { return ind::trange(h, l, c); })},
      {"plus_di", "14", n, 0, timed([&] { return ind::plus_di(h, l, c, 14); })},
      {"minus_di", "14", n, 0, timed([&] { return ind::minus_di(h, l, c, 14); })},
      {"dx", "14", n, 0, timed([&] { return ind::dx(h, l, c, 14); })},
      {"adx", "14", n, 64, timed([&] { return ind::adx(h, l, c, 14); })},
      {"cci", "14", n, 45, timed([&] { return ind::cci(h, l, c, 14); })},
      {"willr", "14", n, 97, timed([&] { return ind::willr(h, l, c, 14); })},
      {"ultosc", "7,14,28", n, 0, timed([&] { return ind::ultosc(h, l, c, 7, 14, 28); })},
      {"stoch", "5,3,3", n, 61, timed([&] { return ind::stoch(h, l, c, 5, 3, 3); })},
      {"stochf", "5,3", n, 0, timed([&] { return ind::stochf(h, l, c, 5, 3); })},
      {"stochrsi", "14,5,3", n, 0, timed([&] { return ind::stochrsi(c, 14, 5, 3); })},
      {"mom", "10", n, 0, timed([&] { return ind::mom(c, 10); })},
      {"roc", "10", n, 0, timed([&] { return ind::roc(c, 10); })},
      {"rocp", "10", n, 0, timed([&] { return ind::rocp(c, 10); })},
      {"rocr", "10", n, 0, timed([&] { return ind::rocr(c, 10); })},
      {"obv", "-", n, 139, timed([&] { return ind::obv(c, v); })},
      {"ad", "-", n, 0, timed([&] { return ind::ad(h, l, c, v); })},
      {"adosc", "3,10", n, 267, timed([&] { return ind::adosc(h, l, c, v, 3, 10); })},
      {"sma_panel", "30", cells, 0, timed([&] { return ind::sma_panel(pc, names, 30); })},
      {"sma_panel_by_column", "30", cells, 0,
       timed([&] { return ind::sma_panel_by_column(pc, names, 30); })},
      {"ema_panel", "30", cells, 0, timed([&] { return ind::ema_panel(pc, names, 30); })},
      {"ema_panel_by_column", "30", cells, 0,
       timed([&] { return ind::ema_panel_by_column(pc, names, 30); })},
      {"rsi_panel", "14", cells, 0, timed([&] { return ind::rsi_panel(pc, names, 14); })},
      {"macd_panel", "12,26,9", cells, 0,
       timed([&] { return ind::macd_panel(pc, names, 12, 26, 9); })},
      {"bbands_panel", "20,2,2", cells, 0,
       timed([&] { return ind::bbands_panel(pc, names, 20, 2.0, 2.0); })},
      {"atr_panel", "14", cells, 0, timed([&] { return ind::atr_panel(ph, pl, pc, names, 14); })},
  };
  for (Case& k : cases) k.cold = best_seconds(reps, k.call);
  keep_freed_memory();
  for (Case& k : cases) k.warm = best_seconds(reps, k.call);

  std::printf("indicator kernels: %zu bars, best of %d, CPU time of one thread\n", n, reps);
  std::printf("%-20s %-8s %9s %9s %7s %6s\n", "kernel", "params", "cold M/s", "warm M/s",
              "target", "ratio");
  auto is_panel = [](const Case& k) {
    return std::string_view(k.kernel).find("panel") != std::string_view::npos;
  };
  for (const Case& k : cases) {
    if (!is_panel(k)) print(k);
  }
  std::printf("\npanel kernels: %zu rows x %zu names, M values/s\n", cells / names, names);
  for (const Case& k : cases) {
    if (is_panel(k)) print(k);
  }
  std::printf("\n(targets: TA-Lib C, M bars/s; ratio = warm / target; catalogue rows: %zu; "
              "checksum %.6g)\n",
              ind::indicator_catalogue().size(), g_sink);
  return 0;
}

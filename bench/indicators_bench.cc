// Native throughput of the indicator kernels, in million bars per second: one
// core, 1M bars of seeded random OHLCV, best of a few repetitions. Panel kernels
// run on a 10000 x 100 panel (1M values) and report million values per second.
//
// Usage: indicators_bench [bars] [repetitions]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "indicators/catalogue.h"
#include "indicators/directional.h"
#include "indicators/momentum.h"
#include "indicators/moving_average.h"
#include "indicators/oscillator.h"
#include "indicators/panel.h"
#include "indicators/stochastic.h"
#include "indicators/volatility.h"
#include "indicators/volume.h"

namespace ind = tessarin::indicators;

namespace {

constexpr std::size_t kDefaultBars = 1'000'000;
constexpr int kDefaultRepetitions = 5;
constexpr std::uint64_t kSeed = 20240611;
constexpr std::size_t kPanelNames = 100;

// splitmix64: a tiny generator whose stream is the same on every platform.
struct Rng {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

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

// Best wall time of `reps` calls, in seconds.
template <typename Call>
double best_seconds(int reps, Call call) {
  double best = 1e300;
  for (int r = 0; r < reps; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    auto result = call();
    const auto t1 = std::chrono::steady_clock::now();
    g_sink += checksum(result);
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

void row(const char* kernel, const char* params, std::size_t n, double seconds,
         double target) {
  const double rate = static_cast<double>(n) / seconds / 1e6;
  if (target > 0.0) {
    std::printf("%-22s %-14s %10.1f %10.0f %8.2f\n", kernel, params, rate, target, rate / target);
  } else {
    std::printf("%-22s %-14s %10.1f %10s %8s\n", kernel, params, rate, "-", "-");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultBars;
  const int reps = argc > 2 ? std::atoi(argv[2]) : kDefaultRepetitions;
  const Bars b = make_bars(n, kSeed);
  const ind::SeriesView h(b.high), l(b.low), c(b.close), v(b.volume);

  std::printf("indicator kernels: %zu bars, best of %d, M bars/s (target: TA-Lib C)\n", n, reps);
  std::printf("%-22s %-14s %10s %10s %8s\n", "kernel", "params", "M bars/s", "target", "ratio");
  std::size_t count = n;  // bars, then panel values
  auto run = [&](const char* kernel, const char* params, double target, auto call) {
    row(kernel, params, count, best_seconds(reps, call), target);
  };
  run("sma", "30", 655, [&] { return ind::sma(c, 30); });
  run("ema", "30", 295, [&] { return ind::ema(c, 30); });
  run("rsi", "14", 110, [&] { return ind::rsi(c, 14); });
  run("macd", "12,26,9", 46, [&] { return ind::macd(c, 12, 26, 9); });
  run("bbands", "20,2,2", 141, [&] { return ind::bbands(c, 20, 2.0, 2.0); });
  run("bollinger", "20,2,2", 0, [&] { return ind::bollinger(c, 20, 2.0, 2.0); });
  run("wilder_atr", "14", 96, [&] { return ind::wilder_atr(h, l, c, 14); });
  run("natr", "14", 0, [&] { return ind::natr(h, l, c, 14); });
  run("trange", "-", 0, [&] { return ind::trange(h, l, c); });
  run("plus_di", "14", 0, [&] { return ind::plus_di(h, l, c, 14); });
  run("minus_di", "14", 0, [&] { return ind::minus_di(h, l, c, 14); });
  run("dx", "14", 0, [&] { return ind::dx(h, l, c, 14); });
  run("adx", "14", 64, [&] { return ind::adx(h, l, c, 14); });
  run("cci", "14", 45, [&] { return ind::cci(h, l, c, 14); });
  run("willr", "14", 97, [&] { return ind::willr(h, l, c, 14); });
  run("ultosc", "7,14,28", 0, [&] { return ind::ultosc(h, l, c, 7, 14, 28); });
  run("stoch", "5,3,3", 61, [&] { return ind::stoch(h, l, c, 5, 3, 3); });
  run("stochf", "5,3", 0, [&] { return ind::stochf(h, l, c, 5, 3); });
  run("stochrsi", "14,5,3", 0, [&] { return ind::stochrsi(c, 14, 5, 3); });
  run("mom", "10", 0, [&] { return ind::mom(c, 10); });
  run("roc", "10", 0, [&] { return ind::roc(c, 10); });
  run("rocp", "10", 0, [&] { return ind::rocp(c, 10); });
  run("rocr", "10", 0, [&] { return ind::rocr(c, 10); });
  run("obv", "-", 139, [&] { return ind::obv(c, v); });
  run("ad", "-", 0, [&] { return ind::ad(h, l, c, v); });
  run("adosc", "3,10", 267, [&] { return ind::adosc(h, l, c, v, 3, 10); });

  const std::size_t names = kPanelNames;
  const std::size_t cells = n / names * names;
  const ind::SeriesView ph(b.high.data(), cells), pl(b.low.data(), cells),
      pc(b.close.data(), cells);
  count = cells;
  std::printf("\npanel kernels: %zu rows x %zu names, M values/s\n", cells / names, names);
  run("sma_panel", "30", 0, [&] { return ind::sma_panel(pc, names, 30); });
  run("sma_panel_by_column", "30", 0, [&] { return ind::sma_panel_by_column(pc, names, 30); });
  run("ema_panel", "30", 0, [&] { return ind::ema_panel(pc, names, 30); });
  run("ema_panel_by_column", "30", 0, [&] { return ind::ema_panel_by_column(pc, names, 30); });
  run("rsi_panel", "14", 0, [&] { return ind::rsi_panel(pc, names, 14); });
  run("macd_panel", "12,26,9", 0, [&] { return ind::macd_panel(pc, names, 12, 26, 9); });
  run("bbands_panel", "20,2,2", 0, [&] { return ind::bbands_panel(pc, names, 20, 2.0, 2.0); });
  run("atr_panel", "14", 0, [&] { return ind::atr_panel(ph, pl, pc, names, 14); });

  std::printf("\n(catalogue rows: %zu, checksum %.6g)\n", ind::indicator_catalogue().size(),
              g_sink);
  return 0;
}

// Indicator kernels against their definitions written out literally, one
// position at a time. The kernels compute windows in lane groups and chunks,
// fold MACD into one pass and walk panels row by row; each of these must give
// the plain arithmetic's result bit for bit, NaN for NaN. Also the bounds the
// kernels must respect on hostile arguments (short inputs, huge periods).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "indicators/momentum.h"
#include "indicators/moving_average.h"
#include "indicators/oscillator.h"
#include "indicators/panel.h"
#include "indicators/stochastic.h"
#include "indicators/volatility.h"
#include "splitmix64.h"

namespace tessarin::indicators {
namespace {

constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();

using Rng = ::tessarin::testing_support::SplitMix64;

struct Bars {
  Series high, low, close;
};

enum class Data { kClean, kHostile };

// A random walk of bars. The hostile variant plants what the guards and the
// NaN rules are about: a flat stretch (no range, no change), a NaN in high, in
// low and in close, and later an infinite close.
Bars make_bars(std::size_t n, std::uint64_t seed, Data data) {
  Rng rng{seed};
  Bars b{Series(n), Series(n), Series(n)};
  double price = 100.0;
  for (std::size_t i = 0; i < n; ++i) {
    price *= 1.0 + (rng.uniform() - 0.5) * 0.02;
    const double range = price * 0.01 * rng.uniform();
    b.close[i] = price;
    b.high[i] = price + range * rng.uniform();
    b.low[i] = price - range * rng.uniform();
  }
  if (data == Data::kHostile && n >= 20) {
    for (std::size_t i = n / 5; i < n / 5 + 12 && i < n; ++i) {
      b.high[i] = b.low[i] = b.close[i] = 50.0;
    }
    b.high[2 * n / 5] = kNaN;
    b.low[9 * n / 20] = kNaN;
    b.close[7 * n / 10] = kNaN;
    b.close[17 * n / 20] = kInf;
  }
  return b;
}

// Bitwise equality of two series; any NaN matches any NaN.
::testing::AssertionResult same_bits(const Series& got, const Series& want) {
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << "length " << got.size() << " != " << want.size();
  }
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(got[i]) && std::isnan(want[i])) continue;
    if (std::bit_cast<std::uint64_t>(got[i]) != std::bit_cast<std::uint64_t>(want[i])) {
      return ::testing::AssertionFailure()
             << "first difference at " << i << ": " << got[i] << " vs " << want[i];
    }
  }
  return ::testing::AssertionSuccess();
}

bool all_nan(const Series& s) {
  for (double x : s) {
    if (!std::isnan(x)) return false;
  }
  return true;
}

// ---- the definitions, literally ------------------------------------------------
namespace literal {

double mean(const Series& x, std::size_t last, std::size_t count) {
  double sum = 0.0;
  for (std::size_t j = last + 1 - count; j <= last; ++j) sum += x[j];
  return sum / static_cast<double>(count);
}

BandsResult bbands(const Series& close, std::size_t period, double up, double dn) {
  const std::size_t n = close.size();
  BandsResult r{Series(n, kNaN), indicators::sma(close, period), Series(n, kNaN)};
  if (period == 0 || period > n) return r;
  for (std::size_t i = period - 1; i < n; ++i) {
    double c = 0.0, mu = 0.0, m2 = 0.0;
    for (std::size_t j = i + 1 - period; j <= i; ++j) {
      c = c + 1.0;
      const double delta = close[j] - mu;
      mu = mu + delta / c;
      m2 = m2 + delta * (close[j] - mu);
    }
    const double sd = std::sqrt(std::max(m2 / static_cast<double>(period), 0.0));
    if (std::isnan(r.middle[i])) continue;
    r.upper[i] = r.middle[i] + up * sd;
    r.lower[i] = r.middle[i] - dn * sd;
  }
  return r;
}

// Highest of hi and lowest of lo over [last + 1 - count, last], NaN-ignoring.
std::pair<double, double> extremes(const Series& hi, const Series& lo, std::size_t last,
                                   std::size_t count) {
  double hh = -kInf, ll = kInf;
  for (std::size_t j = last + 1 - count; j <= last; ++j) {
    hh = std::fmax(hh, hi[j]);
    ll = std::fmin(ll, lo[j]);
  }
  return {hh, ll};
}

Series willr(const Bars& b, std::size_t period) {
  const std::size_t n = b.close.size();
  Series out(n, kNaN);
  if (period < 2 || period > n) return out;
  for (std::size_t i = period - 1; i < n; ++i) {
    const auto [hh, ll] = extremes(b.high, b.low, i, period);
    out[i] = hh - ll == 0.0 ? 0.0 : ((hh - b.close[i]) * -100.0) / (hh - ll);
  }
  return out;
}

Series cci(const Bars& b, std::size_t period) {
  const std::size_t n = b.close.size();
  Series out(n, kNaN);
  if (period < 2 || period > n) return out;
  Series tp(n);
  for (std::size_t j = 0; j < n; ++j) tp[j] = (b.high[j] + b.low[j] + b.close[j]) / 3.0;
  for (std::size_t i = period - 1; i < n; ++i) {
    const double m = mean(tp, i, period);
    double dev = 0.0;
    for (std::size_t j = i + 1 - period; j <= i; ++j) dev += std::fabs(tp[j] - m);
    const double numerator = tp[i] - m;
    out[i] = (numerator == 0.0 || dev == 0.0)
                 ? 0.0
                 : numerator / ((dev / static_cast<double>(period)) * 0.015);
  }
  return out;
}

double raw_k(const Series& hi, const Series& lo, const Series& x, std::size_t i,
             std::size_t window) {
  const auto [hh, ll] = extremes(hi, lo, i, window);
  return hh - ll == 0.0 ? 50.0 : (x[i] - ll) / (hh - ll) * 100.0;
}

StochResult stoch(const Bars& b, std::size_t fastk, std::size_t slowk, std::size_t slowd) {
  const std::size_t n = b.close.size();
  StochResult r{Series(n, kNaN), Series(n, kNaN)};
  const std::size_t first = fastk + slowk + slowd - 3;
  if (n <= first) return r;
  Series fast(n, kNaN), slow(n, kNaN);
  for (std::size_t i = fastk - 1; i < n; ++i) fast[i] = raw_k(b.high, b.low, b.close, i, fastk);
  for (std::size_t i = fastk + slowk - 2; i < n; ++i) slow[i] = mean(fast, i, slowk);
  for (std::size_t i = first; i < n; ++i) {
    r.k[i] = slow[i];
    r.d[i] = mean(slow, i, slowd);
  }
  return r;
}

StochResult stochf(const Bars& b, std::size_t fastk, std::size_t fastd) {
  const std::size_t n = b.close.size();
  StochResult r{Series(n, kNaN), Series(n, kNaN)};
  const std::size_t first = fastk + fastd - 2;
  if (n <= first) return r;
  Series fast(n, kNaN);
  for (std::size_t i = fastk - 1; i < n; ++i) fast[i] = raw_k(b.high, b.low, b.close, i, fastk);
  for (std::size_t i = first; i < n; ++i) {
    r.k[i] = fast[i];
    r.d[i] = mean(fast, i, fastd);
  }
  return r;
}

bool holds_nan(const Series& x, std::size_t last, std::size_t count) {
  for (std::size_t j = last + 1 - count; j <= last; ++j) {
    if (std::isnan(x[j])) return true;
  }
  return false;
}

StochResult stochrsi(const Series& close, std::size_t timeperiod, std::size_t fastk,
                     std::size_t fastd) {
  const std::size_t n = close.size();
  StochResult r{Series(n, kNaN), Series(n, kNaN)};
  const std::size_t first = timeperiod + fastk + fastd - 2;
  if (n <= first) return r;
  const Series strength = indicators::rsi(close, timeperiod);
  Series fast(n, kNaN);
  for (std::size_t i = timeperiod + fastk - 1; i < n; ++i) {
    if (!holds_nan(strength, i, fastk)) fast[i] = raw_k(strength, strength, strength, i, fastk);
  }
  for (std::size_t i = first; i < n; ++i) {
    r.k[i] = fast[i];
    if (!holds_nan(fast, i, fastd)) r.d[i] = mean(fast, i, fastd);
  }
  return r;
}

// The running sums of the definition, each bar's pressure recomputed wherever
// it is added or subtracted.
Series ultosc(const Bars& b, std::size_t p1, std::size_t p2, std::size_t p3) {
  const std::size_t n = b.close.size();
  Series out(n, kNaN);
  std::array<std::size_t, 3> len = {p1, p2, p3};
  std::sort(len.begin(), len.end());
  if (len[0] == 0 || len[2] >= n) return out;
  auto bp = [&](std::size_t i) { return b.close[i] - std::fmin(b.low[i], b.close[i - 1]); };
  auto tr = [&](std::size_t i) {
    return std::fmax(std::fmax(b.high[i] - b.low[i], std::fabs(b.close[i - 1] - b.high[i])),
                     std::fabs(b.close[i - 1] - b.low[i]));
  };
  std::array<double, 3> sbp = {0.0, 0.0, 0.0}, str = {0.0, 0.0, 0.0};
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t i = len[2] - len[k] + 1; i < len[2]; ++i) {
      sbp[k] += bp(i);
      str[k] += tr(i);
    }
  }
  for (std::size_t today = len[2]; today < n; ++today) {
    for (std::size_t k = 0; k < 3; ++k) {
      sbp[k] += bp(today);
      str[k] += tr(today);
    }
    double total = str[0] != 0.0 ? 4.0 * (sbp[0] / str[0]) : 0.0;
    if (str[1] != 0.0) total += 2.0 * (sbp[1] / str[1]);
    if (str[2] != 0.0) total += sbp[2] / str[2];
    out[today] = (total / 7.0) * 100.0;
    for (std::size_t k = 0; k < 3; ++k) {
      sbp[k] -= bp(today - len[k] + 1);
      str[k] -= tr(today - len[k] + 1);
    }
  }
  return out;
}

// MACD composed from ema() exactly as it is defined: the fast average on the
// suffix starting at slow - fast, the signal on the line from slow - 1.
MacdResult macd(const Series& close, std::size_t fast, std::size_t slow, std::size_t signal) {
  const std::size_t n = close.size();
  MacdResult r{Series(n, kNaN), Series(n, kNaN), Series(n, kNaN)};
  if (fast == 0 || signal == 0 || slow > n || fast >= slow) return r;
  const Series slow_e = indicators::ema(close, slow);
  const Series fast_e = indicators::ema(SeriesView(close).subspan(slow - fast), fast);
  Series line(n - (slow - 1), kNaN);
  for (std::size_t i = slow - 1; i < n; ++i) line[i - (slow - 1)] = fast_e[i - (slow - fast)] - slow_e[i];
  const Series sig = indicators::ema(line, signal);
  for (std::size_t i = slow + signal - 2; i < n; ++i) {
    const double m = line[i - (slow - 1)];
    const double s = sig[i - (slow - 1)];
    if (std::isnan(m) || std::isnan(s)) continue;
    r.macd[i] = m;
    r.signal[i] = s;
    r.histogram[i] = m - s;
  }
  return r;
}

}  // namespace literal

// ---- windowed and folded kernels against the definitions -----------------------

using Outputs = std::vector<Series>;
using Run = std::function<Outputs(const Bars&)>;

struct KernelCase {
  std::string name;
  Run kernel;
  Run reference;
};

Outputs of(BandsResult r) { return {r.upper, r.middle, r.lower}; }
Outputs of(StochResult r) { return {r.k, r.d}; }
Outputs of(MacdResult r) { return {r.macd, r.signal, r.histogram}; }
Outputs of(Series s) { return {s}; }

std::vector<KernelCase> kernel_cases() {
  std::vector<KernelCase> cases;
  auto add = [&](std::string name, Run kernel, Run reference) {
    cases.push_back({std::move(name), std::move(kernel), std::move(reference)});
  };
  // Periods that are and are not powers of two, and the smallest of each kernel.
  for (std::size_t p : {1, 2, 16, 20}) {
    add("bbands_" + std::to_string(p),
        [p](const Bars& b) { return of(bbands(b.close, p, 2.0, 1.5)); },
        [p](const Bars& b) { return of(literal::bbands(b.close, p, 2.0, 1.5)); });
  }
  for (std::size_t p : {2, 14, 33}) {
    add("willr_" + std::to_string(p),
        [p](const Bars& b) { return of(willr(b.high, b.low, b.close, p)); },
        [p](const Bars& b) { return of(literal::willr(b, p)); });
    add("cci_" + std::to_string(p),
        [p](const Bars& b) { return of(cci(b.high, b.low, b.close, p)); },
        [p](const Bars& b) { return of(literal::cci(b, p)); });
  }
  struct Three {
    std::size_t a, b, c;
  };
  for (Three t : {Three{5, 3, 3}, Three{1, 1, 1}, Three{14, 1, 9}, Three{3, 12, 2}}) {
    const std::string tag = std::to_string(t.a) + "_" + std::to_string(t.b) + "_" +
                            std::to_string(t.c);
    add("stoch_" + tag,
        [t](const Bars& b) { return of(stoch(b.high, b.low, b.close, t.a, t.b, t.c)); },
        [t](const Bars& b) { return of(literal::stoch(b, t.a, t.b, t.c)); });
    add("stochf_" + tag, [t](const Bars& b) { return of(stochf(b.high, b.low, b.close, t.a, t.c)); },
        [t](const Bars& b) { return of(literal::stochf(b, t.a, t.c)); });
    add("stochrsi_" + tag, [t](const Bars& b) { return of(stochrsi(b.close, t.a, t.b, t.c)); },
        [t](const Bars& b) { return of(literal::stochrsi(b.close, t.a, t.b, t.c)); });
  }
  for (Three t : {Three{7, 14, 28}, Three{28, 7, 14}, Three{1, 1, 1}, Three{5, 2, 2}}) {
    add("ultosc_" + std::to_string(t.a) + "_" + std::to_string(t.b) + "_" + std::to_string(t.c),
        [t](const Bars& b) { return of(ultosc(b.high, b.low, b.close, t.a, t.b, t.c)); },
        [t](const Bars& b) { return of(literal::ultosc(b, t.a, t.b, t.c)); });
  }
  for (Three t : {Three{12, 26, 9}, Three{1, 2, 1}, Three{25, 26, 30}}) {
    add("macd_" + std::to_string(t.a) + "_" + std::to_string(t.b) + "_" + std::to_string(t.c),
        [t](const Bars& b) { return of(macd(b.close, t.a, t.b, t.c)); },
        [t](const Bars& b) { return of(literal::macd(b.close, t.a, t.b, t.c)); });
  }
  return cases;
}

// Lengths around the lane-group and chunk boundaries, and a few bars only.
constexpr std::size_t kLengths[] = {3, 12, 37, 4096 + 40, 3 * 4096 + 5};

class KernelMatchesDefinition
    : public ::testing::TestWithParam<std::tuple<KernelCase, std::size_t, Data>> {};

TEST_P(KernelMatchesDefinition, BitForBit) {
  const auto& [c, n, data] = GetParam();
  const Bars bars = make_bars(n, 17 + n, data);
  const Outputs got = c.kernel(bars);
  const Outputs want = c.reference(bars);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_TRUE(same_bits(got[k], want[k])) << "output " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Windowed, KernelMatchesDefinition,
    ::testing::Combine(::testing::ValuesIn(kernel_cases()), ::testing::ValuesIn(kLengths),
                       ::testing::Values(Data::kClean, Data::kHostile)),
    [](const auto& info) {
      const std::string hostile = std::get<2>(info.param) == Data::kHostile ? "_hostile" : "";
      return std::get<0>(info.param).name + "_n" + std::to_string(std::get<1>(info.param)) +
             hostile;
    });

// ---- panels: every column is the single-series kernel's result -------------------

struct Panel {
  std::size_t rows, names;
  Series high, low, close;
  Series column(const Series& flat, std::size_t j) const {
    Series c(rows);
    for (std::size_t t = 0; t < rows; ++t) c[t] = flat[t * names + j];
    return c;
  }
};

// Columns from different seeds; column 1 is hostile and starts with a NaN.
Panel make_panel(std::size_t rows, std::size_t names) {
  Panel p{rows, names, Series(rows * names), Series(rows * names), Series(rows * names)};
  for (std::size_t j = 0; j < names; ++j) {
    Bars b = make_bars(rows, 100 + j, j == 1 ? Data::kHostile : Data::kClean);
    if (j == 1) b.close[0] = kNaN;
    for (std::size_t t = 0; t < rows; ++t) {
      p.high[t * names + j] = b.high[t];
      p.low[t * names + j] = b.low[t];
      p.close[t * names + j] = b.close[t];
    }
  }
  return p;
}

class PanelColumns : public ::testing::TestWithParam<std::size_t> {
 protected:
  void expect_columns(const std::string& what, const Series& flat,
                      const std::function<Series(const Series& h, const Series& l,
                                                 const Series& c)>& single) {
    for (std::size_t j = 0; j < panel_.names; ++j) {
      EXPECT_TRUE(same_bits(panel_.column(flat, j),
                            single(panel_.column(panel_.high, j), panel_.column(panel_.low, j),
                                   panel_.column(panel_.close, j))))
          << what << " column " << j;
    }
  }
  Panel panel_ = make_panel(260, GetParam());
};

TEST_P(PanelColumns, EqualSingleSeriesKernels) {
  const Panel& p = panel_;
  const std::size_t m = p.names;
  for (std::size_t period : {1, 14, 30}) {
    const std::string at = " period " + std::to_string(period);
    expect_columns("sma" + at, sma_panel(p.close, m, period),
                   [&](auto&, auto&, auto& c) { return sma(c, period); });
    expect_columns("ema" + at, ema_panel(p.close, m, period),
                   [&](auto&, auto&, auto& c) { return ema(c, period); });
    expect_columns("sma by column" + at, sma_panel_by_column(p.close, m, period),
                   [&](auto&, auto&, auto& c) { return sma(c, period); });
    expect_columns("ema by column" + at, ema_panel_by_column(p.close, m, period),
                   [&](auto&, auto&, auto& c) { return ema(c, period); });
    expect_columns("rsi" + at, rsi_panel(p.close, m, period),
                   [&](auto&, auto&, auto& c) { return rsi(c, period); });
    expect_columns("atr" + at, atr_panel(p.high, p.low, p.close, m, period),
                   [&](auto& h, auto& l, auto& c) { return wilder_atr(h, l, c, period); });
    const BandsResult bands = bbands_panel(p.close, m, period, 2.0, 1.5);
    expect_columns("bbands upper" + at, bands.upper,
                   [&](auto&, auto&, auto& c) { return bbands(c, period, 2.0, 1.5).upper; });
    expect_columns("bbands middle" + at, bands.middle,
                   [&](auto&, auto&, auto& c) { return bbands(c, period, 2.0, 1.5).middle; });
    expect_columns("bbands lower" + at, bands.lower,
                   [&](auto&, auto&, auto& c) { return bbands(c, period, 2.0, 1.5).lower; });
  }
  for (auto [fast, slow, signal] : {std::tuple<std::size_t, std::size_t, std::size_t>{12, 26, 9},
                                    {1, 2, 1}, {5, 35, 5}}) {
    const MacdResult r = macd_panel(p.close, m, fast, slow, signal);
    expect_columns("macd line", r.macd,
                   [&](auto&, auto&, auto& c) { return macd(c, fast, slow, signal).macd; });
    expect_columns("macd signal", r.signal,
                   [&](auto&, auto&, auto& c) { return macd(c, fast, slow, signal).signal; });
    expect_columns("macd histogram", r.histogram, [&](auto&, auto&, auto& c) {
      return macd(c, fast, slow, signal).histogram;
    });
  }
}

// One column, fewer columns than a lane group, and more than two lane groups.
INSTANTIATE_TEST_SUITE_P(Names, PanelColumns, ::testing::Values(1, 5, 19));

// ---- bounds on hostile arguments -------------------------------------------------

TEST(StochasticInputs, ShortHighOrLowGivesNaNAndLongerOnesAreCutToClose) {
  const Bars b = make_bars(64, 5, Data::kClean);
  const Series short_high(b.high.begin(), b.high.end() - 1);
  EXPECT_TRUE(all_nan(stoch(short_high, b.low, b.close, 5, 3, 3).k));
  EXPECT_TRUE(all_nan(stochf(b.high, short_high, b.close, 5, 3).d));

  const Series close(b.close.begin(), b.close.end() - 10);
  const Series cut_high(b.high.begin(), b.high.end() - 10);
  const Series cut_low(b.low.begin(), b.low.end() - 10);
  EXPECT_TRUE(same_bits(stoch(b.high, b.low, close, 5, 3, 3).d,
                        stoch(cut_high, cut_low, close, 5, 3, 3).d));
  EXPECT_TRUE(same_bits(stochf(b.high, b.low, close, 5, 3).k,
                        stochf(cut_high, cut_low, close, 5, 3).k));
}

// A first index formed from a huge period must saturate, not wrap to a small
// index that reads before the start of the series.
TEST(HugePeriods, GiveAllNaNInsteadOfWrapping) {
  const Bars b = make_bars(50, 9, Data::kClean);
  const std::vector<std::pair<std::string, Outputs>> results = {
      {"stoch slowk", of(stoch(b.high, b.low, b.close, 5, kHuge, 3))},
      {"stoch slowd", of(stoch(b.high, b.low, b.close, 5, 3, kHuge))},
      {"stoch both", of(stoch(b.high, b.low, b.close, 3, kHuge, kHuge))},
      {"stochf fastd", of(stochf(b.high, b.low, b.close, 5, kHuge))},
      {"stochrsi timeperiod", of(stochrsi(b.close, kHuge, 2, 1))},
      {"stochrsi fastk", of(stochrsi(b.close, 14, kHuge, 2))},
      {"stochrsi fastd", of(stochrsi(b.close, 14, 5, kHuge))},
      {"macd signal", of(macd(b.close, 12, 26, kHuge))},
      {"macd slow", of(macd(b.close, 12, kHuge, 9))},
      {"macd panel signal", of(macd_panel(b.close, 2, 3, 5, kHuge))},
      {"bbands", of(bbands(b.close, kHuge, 2.0, 2.0))},
      {"cci", of(cci(b.high, b.low, b.close, kHuge))},
      {"willr", of(willr(b.high, b.low, b.close, kHuge))},
      {"ultosc", of(ultosc(b.high, b.low, b.close, 1, 2, kHuge))},
  };
  for (const auto& [what, outputs] : results) {
    for (const Series& s : outputs) {
      EXPECT_EQ(s.size(), b.close.size()) << what;
      EXPECT_TRUE(all_nan(s)) << what;
    }
  }
}

}  // namespace
}  // namespace tessarin::indicators

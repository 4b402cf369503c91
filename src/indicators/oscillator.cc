#include "indicators/oscillator.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tessarin::indicators {

namespace {

// Lambert's constant: scales the mean deviation so that most values of the
// index fall within +/-100.
constexpr double kCciScale = 0.015;

bool same_length(SeriesView a, SeriesView b, SeriesView c) {
  return a.size() == b.size() && a.size() == c.size();
}

// CCI of LANES::size adjacent positions whose typical-price windows start at tp + w.
template <typename LANES>
void cci_lanes(const double* tp, std::size_t period, double* out) {
  using V = typename LANES::type;
  constexpr std::size_t kG = LANES::groups;
  constexpr std::size_t kW = LANES::width;
  V sum[kG];
  for (std::size_t g = 0; g < kG; ++g) sum[g] = splat<V>(0.0);
  for (std::size_t k = 0; k < period; ++k) {
    for (std::size_t g = 0; g < kG; ++g) sum[g] += load<V>(tp + k + g * kW);
  }
  const double p = static_cast<double>(period);
  V mean[kG];
  V dev[kG];
  for (std::size_t g = 0; g < kG; ++g) {
    mean[g] = sum[g] / p;
    dev[g] = splat<V>(0.0);
  }
  for (std::size_t k = 0; k < period; ++k) {
    for (std::size_t g = 0; g < kG; ++g) dev[g] += abs_lanes(load<V>(tp + k + g * kW) - mean[g]);
  }
  for (std::size_t g = 0; g < kG; ++g) {
    const V numerator = load<V>(tp + period - 1 + g * kW) - mean[g];
    const V v = numerator / ((dev[g] / p) * kCciScale);
    const V zero = splat<V>(0.0);
    store(out + g * kW, numerator == 0.0 ? zero : (dev[g] == 0.0 ? zero : v));
  }
}

// Buying pressure and true range of one bar against the previous close.
struct Pressure {
  double bp;
  double tr;
};

Pressure pressure(const double* h, const double* l, const double* c, std::size_t i) {
  return {c[i] - nan_min(l[i], c[i - 1]), true_range(h[i], l[i], c[i - 1])};
}

// Buying-pressure and true-range sums of one horizon.
struct Horizon {
  std::size_t length = 0;
  double bp = 0.0;
  double tr = 0.0;
  void add(Pressure x) {
    bp += x.bp;
    tr += x.tr;
  }
  void remove(Pressure x) {
    bp -= x.bp;
    tr -= x.tr;
  }
};

// Weights of the shortest, middle and longest horizon, and their total.
constexpr std::array<double, 3> kUltoscWeights = {4.0, 2.0, 1.0};
constexpr double kUltoscWeightTotal = 7.0;

double ultosc_value(const std::array<Horizon, 3>& hz) {
  double total = hz[0].tr != 0.0 ? kUltoscWeights[0] * (hz[0].bp / hz[0].tr) : 0.0;
  if (hz[1].tr != 0.0) total += kUltoscWeights[1] * (hz[1].bp / hz[1].tr);
  if (hz[2].tr != 0.0) total += kUltoscWeights[2] * (hz[2].bp / hz[2].tr);
  return (total / kUltoscWeightTotal) * 100.0;
}

}  // namespace

Series cci(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (!same_length(high, low, close) || period < 2 || period > n) return out;
  // Typical prices are formed once per chunk; every window then reads them again.
  Series tp(std::min(n, kChunk + period - 1));
  for_each_chunk(period - 1, n, [&](std::size_t a, std::size_t b) {
    const std::size_t from = a + 1 - period;
    for (std::size_t j = from; j < b; ++j) tp[j - from] = (high[j] + low[j] + close[j]) / 3.0;
    for_each_position(a, b, [&](auto lanes, std::size_t i) {
      cci_lanes<decltype(lanes)>(tp.data() + (i + 1 - period - from), period, out.data() + i);
    });
  });
  return out;
}

Series ultosc(SeriesView high, SeriesView low, SeriesView close, std::size_t period1,
              std::size_t period2, std::size_t period3) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  std::array<std::size_t, 3> lengths = {period1, period2, period3};
  std::sort(lengths.begin(), lengths.end());
  const std::size_t longest = lengths[2];
  if (!same_length(high, low, close) || lengths[0] == 0 || longest >= n) return out;
  const double* h = high.data();
  const double* l = low.data();
  const double* c = close.data();
  std::array<Horizon, 3> hz;
  for (std::size_t s = 0; s < 3; ++s) hz[s].length = lengths[s];
  // The last `longest` bars' pressures, bar i in slot i % longest, so a bar
  // leaving a horizon is subtracted exactly as it was added.
  std::vector<Pressure> ring(longest);
  // Pre-load every horizon with the bars before `longest` that fall inside it.
  for (std::size_t i = 1; i < longest; ++i) {
    ring[i] = pressure(h, l, c, i);
    for (Horizon& z : hz) {
      if (i + z.length > longest) z.add(ring[i]);
    }
  }
  std::size_t slot = 0;  // today % longest
  for (std::size_t today = longest; today < n; ++today) {
    ring[slot] = pressure(h, l, c, today);
    for (Horizon& z : hz) z.add(ring[slot]);
    out[today] = ultosc_value(hz);
    for (Horizon& z : hz) {
      std::size_t leaving = slot + (longest - z.length) + 1;  // bar today - length + 1
      if (leaving >= longest) leaving -= longest;
      z.remove(ring[leaving]);
    }
    slot = slot + 1 == longest ? 0 : slot + 1;
  }
  return out;
}

}  // namespace tessarin::indicators

// Float series and the arithmetic every indicator kernel shares: NaN-filled
// results, NaN-ignoring extremes, the two Wilder recurrences, the two
// exponential forms with their seeds, and the lane driver for windowed kernels.
// Kernels and panel kernels both compute through these helpers, so a panel column
// reproduces the single-series result bit for bit.
//
// Floating-point rules the helpers rely on:
//   1. Each helper evaluates exactly the operations it shows, in that order; the
//      build never contracts a * b + c into one fused operation (ISO C++ mode).
//   2. NaN is the only "undefined" marker; nothing else is ever substituted.
#ifndef TESSARIN_INDICATORS_SERIES_H_
#define TESSARIN_INDICATORS_SERIES_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <type_traits>
#include <vector>

namespace tessarin::indicators {

using SeriesView = std::span<const double>;
using Series = std::vector<double>;

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

// A result of `n` positions, every one undefined until a kernel writes it.
inline Series nan_series(std::size_t n) { return Series(n, kNaN); }

inline bool is_nan(double x) { return x != x; }

// IEEE 754 maxNum/minNum: a NaN operand is ignored, NaN only when both are.
inline double nan_max(double a, double b) { return is_nan(a) ? b : (b > a ? b : a); }
inline double nan_min(double a, double b) { return is_nan(a) ? b : (b < a ? b : a); }

// Window extremes start from -inf / +inf, so the accumulator is never NaN and a
// single comparison already ignores a NaN operand; this form also vectorises.
inline double window_max(double acc, double x) { return x > acc ? x : acc; }
inline double window_min(double acc, double x) { return x < acc ? x : acc; }

// True range against the previous close, NaN-ignoring as the extremes are.
inline double true_range(double high, double low, double prev_close) {
  return nan_max(nan_max(high - low, std::fabs(high - prev_close)), std::fabs(low - prev_close));
}

// Sum of `count` values x[0], x[step], ... added oldest first from 0.
inline double strided_sum(const double* x, std::size_t count, std::size_t step) {
  double sum = 0.0;
  for (std::size_t k = 0; k < count; ++k) sum += x[k * step];
  return sum;
}

// A running window sum moved one position: the difference is formed first.
inline double slide_sum(double sum, double entering, double leaving) {
  return sum + (entering - leaving);
}

// Wilder average: A <- ((p - 1) * A + x) / p.
inline double wilder_average(double avg, double x, double period_minus_one, double period) {
  return (period_minus_one * avg + x) / period;
}

// Wilder running sum: S <- S - S / p + x.
inline double wilder_sum(double sum, double x, double period) { return sum - sum / period + x; }

// Smoothing constant k = 2 / (p + 1) of both exponential forms.
inline double ema_alpha(std::size_t period) {
  return 2.0 / (static_cast<double>(period) + 1.0);
}

// The moving-average form: e <- e + k * (x - e).
inline double ema_step(double e, double x, double k) { return e + k * (x - e); }

// The oscillator form: e <- (1 - k) * e + k * x.
inline double blend_step(double e, double x, double k, double one_minus_k) {
  return one_minus_k * e + k * x;
}

// Wilder RSI from its two averages; 0 when nothing moved, 100 when nothing fell.
inline double rsi_value(double avg_gain, double avg_loss) {
  if (avg_loss != 0.0) return 100.0 - 100.0 / (avg_gain / avg_loss + 1.0);
  return avg_gain == 0.0 ? 0.0 : 100.0;
}

// Seed step of the RSI sums: a zero change adds nothing, a NaN change poisons
// the loss sum (it fails `d > 0` and is subtracted).
inline void rsi_seed(double change, double& gain_sum, double& loss_sum) {
  if (change > 0.0) {
    gain_sum += change;
  } else {
    loss_sum -= change;
  }
}

// Wilder update of the RSI averages; a NaN change counts as neither gain nor loss.
inline void rsi_update(double change, double period_minus_one, double period, double& avg_gain,
                       double& avg_loss) {
  const double gain = change > 0.0 ? change : 0.0;
  const double loss = change < 0.0 ? -change : 0.0;
  avg_gain = wilder_average(avg_gain, gain, period_minus_one, period);
  avg_loss = wilder_average(avg_loss, loss, period_minus_one, period);
}

// Population standard deviation of `period` values x[0], x[step], ... by
// Welford's method (count, mean, M2), recomputed from scratch.
// LANES windows run side by side: lane w reads x[k * step + w]. Each lane does
// exactly the scalar operations, so a window's result does not depend on the lane
// that computed it; the lanes only let the divisions of neighbouring windows overlap.
template <std::size_t LANES>
inline void welford_sd(const double* x, std::size_t period, std::size_t step, double* sd) {
  double mean[LANES];
  double m2[LANES];
  for (std::size_t w = 0; w < LANES; ++w) mean[w] = m2[w] = 0.0;
  double count = 0.0;
  for (std::size_t k = 0; k < period; ++k) {
    count += 1.0;
    const double* row = x + k * step;
    for (std::size_t w = 0; w < LANES; ++w) {
      const double delta = row[w] - mean[w];
      mean[w] += delta / count;
      m2[w] += delta * (row[w] - mean[w]);
    }
  }
  const double p = static_cast<double>(period);
  for (std::size_t w = 0; w < LANES; ++w) sd[w] = std::sqrt(std::max(m2[w] / p, 0.0));
}

// Bollinger band edges around a defined middle value.
inline double upper_band(double middle, double num_std, double sd) { return middle + num_std * sd; }
inline double lower_band(double middle, double num_std, double sd) { return middle - num_std * sd; }

// Positions computed side by side by the windowed kernels; eight doubles are two
// cache lines per input and enough independent chains to hide division latency.
inline constexpr std::size_t kLanes = 8;

template <std::size_t N>
using LaneCount = std::integral_constant<std::size_t, N>;

// Calls body(LaneCount<L>{}, i) for the output positions [first, n): blocks of
// kLanes adjacent positions, then single positions for the tail.
// REQUIRES: body computes each position the same way whatever L is.
template <typename Body>
inline void for_each_position(std::size_t first, std::size_t n, Body&& body) {
  std::size_t i = first;
  for (; i + kLanes <= n; i += kLanes) body(LaneCount<kLanes>{}, i);
  for (; i < n; ++i) body(LaneCount<1>{}, i);
}

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_SERIES_H_

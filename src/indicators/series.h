// Float series and the arithmetic every indicator kernel shares: NaN-filled
// results, NaN-ignoring extremes, the two Wilder recurrences, the two
// exponential forms with their seeds, and the lane driver for windowed kernels.
// Kernels and panel kernels both compute through these helpers, so a panel column
// reproduces the single-series result bit for bit.
//
// Floating-point rules the helpers rely on:
//   1. Each helper evaluates exactly the operations it shows, in that order; the
//      indicator sources are built with -ffp-contract=off, so a * b + c is never
//      fused even where the target has FMA (fusing changes the last bit).
//   2. NaN is the only "undefined" marker; nothing else is ever substituted.
#ifndef TESSARIN_INDICATORS_SERIES_H_
#define TESSARIN_INDICATORS_SERIES_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "saturating.h"

namespace tessarin::indicators {

using SeriesView = std::span<const double>;
using Series = std::vector<double>;

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

// Index arithmetic on caller-given periods saturates, so a huge period can never
// wrap around into a small first index.
inline std::size_t index_add(std::size_t a, std::size_t b) {
  static_assert(sizeof(std::size_t) == sizeof(uint64_t));
  return static_cast<std::size_t>(sat_add(static_cast<uint64_t>(a), static_cast<uint64_t>(b)));
}

// A result of `n` positions, every one undefined until a kernel writes it.
inline Series nan_series(std::size_t n) { return Series(n, kNaN); }

inline bool is_nan(double x) { return x != x; }

// Window extremes start from -inf / +inf, so the accumulator is never NaN and a
// single comparison already ignores a NaN operand; this form also vectorises.
// Works lane by lane on the lane groups below as well.
template <typename V>
inline V window_max(const V& acc, const V& x) {
  return x > acc ? x : acc;
}
template <typename V>
inline V window_min(const V& acc, const V& x) {
  return x < acc ? x : acc;
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

// Bollinger band edges around a defined middle value.
inline double upper_band(double middle, double num_std, double sd) { return middle + num_std * sd; }
inline double lower_band(double middle, double num_std, double sd) { return middle - num_std * sd; }

// Windowed kernels compute neighbouring output positions side by side. A lane
// group holds G values of V (a double, or a pair of doubles that the compiler
// keeps in one SSE register); every operator acts lane by lane with IEEE
// semantics, so a position's result does not depend on the group that computed it.
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));

template <typename V, std::size_t G>
struct LaneGroup {
  using type = V;
  static constexpr std::size_t groups = G;
  static constexpr std::size_t width = sizeof(V) / sizeof(double);
  static constexpr std::size_t size = G * width;
};

// Eight positions at a time: enough independent chains to hide the latency of
// division and of the extreme comparisons, still all in registers.
using WideLanes = LaneGroup<Pair, 4>;
using OneLane = LaneGroup<double, 1>;
inline constexpr std::size_t kLanes = WideLanes::size;

template <typename V>
inline V load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
inline void store(double* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

template <typename V>
inline V splat(double x);
template <>
inline double splat<double>(double x) { return x; }
template <>
inline Pair splat<Pair>(double x) { return Pair{x, x}; }

inline double abs_lanes(double x) { return std::fabs(x); }
inline Pair abs_lanes(const Pair& x) { return Pair{std::fabs(x[0]), std::fabs(x[1])}; }

// IEEE 754 maxNum/minNum: a NaN operand is ignored, NaN only when both are.
// Written as lane selects: which operand wins is data-dependent, and a branch
// on it is mispredicted half the time.
inline double nan_max(double a, double b) {
  const Pair x = {a, a};
  const Pair y = {b, b};
  return (((y > x) | (x != x)) ? y : x)[0];
}
inline double nan_min(double a, double b) {
  const Pair x = {a, a};
  const Pair y = {b, b};
  return (((y < x) | (x != x)) ? y : x)[0];
}

// True range against the previous close, NaN-ignoring as the extremes are.
inline double true_range(double high, double low, double prev_close) {
  return nan_max(nan_max(high - low, std::fabs(high - prev_close)), std::fabs(low - prev_close));
}

// Square root, correctly rounded in every lane (IEEE 754 requires it).
inline double sqrt_lanes(double x) { return std::sqrt(x); }
inline Pair sqrt_lanes(const Pair& x) {
#if defined(__SSE2__)
  return _mm_sqrt_pd(x);
#else
  return Pair{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

// Whether count (a small positive integer) is a power of two, whose reciprocal
// is exact: then x / count and x * (1 / count) round the same real number and
// are bit-identical, and the multiplication is several times cheaper.
inline bool exact_reciprocal(std::size_t count) { return (count & (count - 1)) == 0; }

// Population standard deviation of `period` values x[0], x[step], ... by
// Welford's method (count, mean, M2), recomputed from scratch, for the
// LANES::size windows whose element k of lane w is x[k * step + w].
// REQUIRES: period >= 1.
template <typename LANES>
inline void welford_sd(const double* x, std::size_t period, std::size_t step, double* sd) {
  using V = typename LANES::type;
  constexpr std::size_t kG = LANES::groups;
  constexpr std::size_t kW = LANES::width;
  V mean[kG];
  V m2[kG];
  for (std::size_t g = 0; g < kG; ++g) mean[g] = m2[g] = splat<V>(0.0);
  double count = 0.0;
  for (std::size_t k = 0; k < period; ++k) {
    count += 1.0;
    const double* row = x + k * step;
    if (exact_reciprocal(k + 1)) {
      const double inverse = 1.0 / count;
      for (std::size_t g = 0; g < kG; ++g) {
        const V v = load<V>(row + g * kW);
        const V delta = v - mean[g];
        mean[g] += delta * inverse;
        m2[g] += delta * (v - mean[g]);
      }
    } else {
      for (std::size_t g = 0; g < kG; ++g) {
        const V v = load<V>(row + g * kW);
        const V delta = v - mean[g];
        mean[g] += delta / count;
        m2[g] += delta * (v - mean[g]);
      }
    }
  }
  const double p = static_cast<double>(period);
  for (std::size_t g = 0; g < kG; ++g) {
    // max(variance, 0) as std::max computes it: a NaN variance stays NaN.
    const V variance = m2[g] / p;
    store(sd + g * kW, sqrt_lanes(variance < 0.0 ? splat<V>(0.0) : variance));
  }
}

// Kernels that need scratch arrays produce their output in chunks of this many
// positions, so the scratch stays small and in cache instead of growing with
// the series (fresh pages cost more than the arithmetic).
inline constexpr std::size_t kChunk = 4096;

// Calls body(begin, end) for consecutive chunks of [first, n).
template <typename Body>
inline void for_each_chunk(std::size_t first, std::size_t n, Body&& body) {
  for (std::size_t a = first; a < n; a += std::min(kChunk, n - a)) {
    body(a, a + std::min(kChunk, n - a));
  }
}

// Calls body(LANES{}, i) for the output positions [first, n): WideLanes blocks
// of adjacent positions, then OneLane for the tail.
// REQUIRES: body computes each position the same way whatever LANES is.
template <typename Body>
inline void for_each_position(std::size_t first, std::size_t n, Body&& body) {
  std::size_t i = first;
  for (; n >= kLanes && i <= n - kLanes; i += kLanes) body(WideLanes{}, i);
  for (; i < n; ++i) body(OneLane{}, i);
}

}  // namespace tessarin::indicators

#endif  // TESSARIN_INDICATORS_SERIES_H_

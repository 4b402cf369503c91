#include "indicators/stochastic.h"

#include <algorithm>

#include "indicators/momentum.h"

namespace tessarin::indicators {

namespace {

// %K where the window has no range: the middle of the scale, not its bottom.
constexpr double kFlatWindowK = 50.0;

// Highest and lowest value of the LANES::size windows of `window` values whose
// lane w starts at hi + w (and lo + w).
template <typename LANES>
void window_extremes(const double* hi, const double* lo, std::size_t window,
                     typename LANES::type* hh, typename LANES::type* ll) {
  using V = typename LANES::type;
  constexpr std::size_t kW = LANES::width;
  for (std::size_t g = 0; g < LANES::groups; ++g) {
    hh[g] = splat<V>(-kInf);
    ll[g] = splat<V>(kInf);
  }
  for (std::size_t k = 0; k < window; ++k) {
    for (std::size_t g = 0; g < LANES::groups; ++g) {
      hh[g] = window_max(hh[g], load<V>(hi + k + g * kW));
      ll[g] = window_min(ll[g], load<V>(lo + k + g * kW));
    }
  }
}

// Raw %K of LANES::size adjacent positions; x[w] is the value placed in lane w's
// range. Divide first, then scale: the order fixes the last bit.
template <typename LANES>
void raw_k(const double* hi, const double* lo, const double* x, std::size_t window,
           double* out) {
  using V = typename LANES::type;
  constexpr std::size_t kW = LANES::width;
  V hh[LANES::groups];
  V ll[LANES::groups];
  window_extremes<LANES>(hi, lo, window, hh, ll);
  for (std::size_t g = 0; g < LANES::groups; ++g) {
    const V range = hh[g] - ll[g];
    const V k = (load<V>(x + g * kW) - ll[g]) / range * 100.0;
    store(out + g * kW, range == 0.0 ? splat<V>(kFlatWindowK) : k);
  }
}

// Overwrites with NaN the outputs of the LANES::size windows of `window` values
// starting at x + w that hold a NaN.
template <typename LANES>
void blank_holes(const double* x, std::size_t window, double* out) {
  using V = typename LANES::type;
  using Mask = decltype(V{} != V{});
  constexpr std::size_t kW = LANES::width;
  Mask holes[LANES::groups];
  for (std::size_t g = 0; g < LANES::groups; ++g) holes[g] = splat<V>(0.0) != splat<V>(0.0);
  for (std::size_t k = 0; k < window; ++k) {
    for (std::size_t g = 0; g < LANES::groups; ++g) {
      const V v = load<V>(x + k + g * kW);
      holes[g] = holes[g] | (v != v);
    }
  }
  for (std::size_t g = 0; g < LANES::groups; ++g) {
    store(out + g * kW, holes[g] ? splat<V>(kNaN) : load<V>(out + g * kW));
  }
}

// Mean of LANES::size windows of `count` values, each summed oldest first from 0.
template <typename LANES>
void window_mean(const double* x, std::size_t count, double* out) {
  using V = typename LANES::type;
  constexpr std::size_t kW = LANES::width;
  V sum[LANES::groups];
  for (std::size_t g = 0; g < LANES::groups; ++g) sum[g] = splat<V>(0.0);
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t g = 0; g < LANES::groups; ++g) sum[g] += load<V>(x + k + g * kW);
  }
  const double c = static_cast<double>(count);
  for (std::size_t g = 0; g < LANES::groups; ++g) store(out + g * kW, sum[g] / c);
}

// %K over hi/lo windows placing x, at positions [from, to) into dst[0 ..).
void k_range(const double* hi, const double* lo, const double* x, std::size_t window,
             std::size_t from, std::size_t to, double* dst) {
  for_each_position(from, to, [&](auto lanes, std::size_t i) {
    const std::size_t start = i + 1 - window;
    raw_k<decltype(lanes)>(hi + start, lo + start, x + i, window, dst + (i - from));
  });
}

// Mean of the `count` values ending at each position [from, to) into dst[0 ..);
// src[0] holds position src_from.
void mean_range(const double* src, std::size_t src_from, std::size_t count, std::size_t from,
                std::size_t to, double* dst) {
  for_each_position(from, to, [&](auto lanes, std::size_t i) {
    window_mean<decltype(lanes)>(src + (i + 1 - count - src_from), count, dst + (i - from));
  });
}

bool covers(SeriesView high, SeriesView low, std::size_t n) {
  return high.size() >= n && low.size() >= n;
}

// The fast %K scratch of one chunk: `lag` positions before the chunk are needed
// by the smoothing windows.
Series chunk_scratch(std::size_t n, std::size_t lag) { return Series(std::min(n, kChunk + lag)); }

}  // namespace

StochResult stoch(SeriesView high, SeriesView low, SeriesView close, std::size_t fastk,
                  std::size_t slowk, std::size_t slowd) {
  const std::size_t n = close.size();
  StochResult r{nan_series(n), nan_series(n)};
  if (fastk == 0 || slowk == 0 || slowd == 0 || n < fastk) return r;
  const std::size_t first = index_add(index_add(fastk, slowk), slowd) - 3;
  if (n <= first || !covers(high, low, n)) return r;
  const std::size_t slow_lag = slowd - 1;
  const std::size_t fast_lag = slow_lag + slowk - 1;
  Series fast = chunk_scratch(n, fast_lag);
  Series slow = chunk_scratch(n, slow_lag);
  for_each_chunk(first, n, [&](std::size_t a, std::size_t b) {
    const std::size_t fast_from = a - fast_lag;
    const std::size_t slow_from = a - slow_lag;
    k_range(high.data(), low.data(), close.data(), fastk, fast_from, b, fast.data());
    mean_range(fast.data(), fast_from, slowk, slow_from, b, slow.data());
    std::copy(slow.begin() + (a - slow_from), slow.begin() + (b - slow_from), r.k.begin() + a);
    mean_range(slow.data(), slow_from, slowd, a, b, r.d.data() + a);
  });
  return r;
}

StochResult stochf(SeriesView high, SeriesView low, SeriesView close, std::size_t fastk,
                   std::size_t fastd) {
  const std::size_t n = close.size();
  StochResult r{nan_series(n), nan_series(n)};
  if (fastk == 0 || fastd == 0 || n < fastk) return r;
  const std::size_t first = index_add(fastk, fastd) - 2;
  if (n <= first || !covers(high, low, n)) return r;
  const std::size_t lag = fastd - 1;
  Series fast = chunk_scratch(n, lag);
  for_each_chunk(first, n, [&](std::size_t a, std::size_t b) {
    const std::size_t from = a - lag;
    k_range(high.data(), low.data(), close.data(), fastk, from, b, fast.data());
    std::copy(fast.begin() + (a - from), fast.begin() + (b - from), r.k.begin() + a);
    mean_range(fast.data(), from, fastd, a, b, r.d.data() + a);
  });
  return r;
}

StochResult stochrsi(SeriesView close, std::size_t timeperiod, std::size_t fastk,
                     std::size_t fastd) {
  const std::size_t n = close.size();
  StochResult r{nan_series(n), nan_series(n)};
  if (fastk == 0 || fastd == 0) return r;
  const std::size_t first = index_add(index_add(timeperiod, fastk), fastd) - 2;
  if (n <= first) return r;
  const Series strength = rsi(close, timeperiod);
  const double* x = strength.data();
  const std::size_t lag = fastd - 1;
  Series fast = chunk_scratch(n, lag);
  for_each_chunk(first, n, [&](std::size_t a, std::size_t b) {
    const std::size_t from = a - lag;
    k_range(x, x, x, fastk, from, b, fast.data());
    for_each_position(from, b, [&](auto lanes, std::size_t i) {
      blank_holes<decltype(lanes)>(x + (i + 1 - fastk), fastk, fast.data() + (i - from));
    });
    std::copy(fast.begin() + (a - from), fast.begin() + (b - from), r.k.begin() + a);
    // A %K window with a NaN makes its sum, and so %D, NaN.
    mean_range(fast.data(), from, fastd, a, b, r.d.data() + a);
  });
  return r;
}

Series willr(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (high.size() != n || low.size() != n || period < 2 || period > n) return out;
  const double* h = high.data();
  const double* l = low.data();
  const double* c = close.data();
  for_each_position(period - 1, n, [&](auto lanes, std::size_t i) {
    using Lanes = decltype(lanes);
    using V = typename Lanes::type;
    constexpr std::size_t kW = Lanes::width;
    V hh[Lanes::groups];
    V ll[Lanes::groups];
    window_extremes<Lanes>(h + (i + 1 - period), l + (i + 1 - period), period, hh, ll);
    for (std::size_t g = 0; g < Lanes::groups; ++g) {
      const V range = hh[g] - ll[g];
      const V v = ((hh[g] - load<V>(c + i + g * kW)) * -100.0) / range;
      store(out.data() + i + g * kW, range == 0.0 ? splat<V>(0.0) : v);
    }
  });
  return out;
}

}  // namespace tessarin::indicators

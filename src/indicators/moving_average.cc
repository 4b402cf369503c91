#include "indicators/moving_average.h"

namespace tessarin::indicators {

namespace {

// Mean of x[0 .. period - 1]: the seed of every exponential average here.
double seed_mean(const double* x, std::size_t period) {
  return strided_sum(x, period, 1) / static_cast<double>(period);
}

// Writes the three MACD outputs at `i`, but only where line and signal are both
// defined.
void write_macd(MacdResult& r, std::size_t i, double line, double signal) {
  if (is_nan(line) || is_nan(signal)) return;
  r.macd[i] = line;
  r.signal[i] = signal;
  r.histogram[i] = line - signal;
}

}  // namespace

Series sma(SeriesView close, std::size_t period) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (period == 0 || period > n) return out;
  const double p = static_cast<double>(period);
  const double* x = close.data();
  double sum = strided_sum(x, period, 1);
  out[period - 1] = sum / p;
  for (std::size_t j = period; j < n; ++j) {
    sum = slide_sum(sum, x[j], x[j - period]);
    out[j] = sum / p;
  }
  return out;
}

Series ema(SeriesView close, std::size_t period) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (period == 0 || period > n) return out;
  const double k = ema_alpha(period);
  const double* x = close.data();
  double e = seed_mean(x, period);
  out[period - 1] = e;
  for (std::size_t j = period; j < n; ++j) {
    e = ema_step(e, x[j], k);
    out[j] = e;
  }
  return out;
}

// One pass carrying the slow, fast and signal averages. The arithmetic is that
// of ema() applied to close, to close[slow - fast ..] and to the MACD line from
// slow - 1 on; only the intermediate arrays are not materialised.
MacdResult macd(SeriesView close, std::size_t fast, std::size_t slow, std::size_t signal) {
  const std::size_t n = close.size();
  MacdResult r{nan_series(n), nan_series(n), nan_series(n)};
  if (fast == 0 || signal == 0 || slow > n || fast >= slow) return r;
  const std::size_t first = index_add(slow, signal) - 2;
  if (first >= n) return r;
  const double* x = close.data();
  const double k_slow = ema_alpha(slow);
  const double k_fast = ema_alpha(fast);
  const double k_signal = ema_alpha(signal);
  double slow_e = seed_mean(x, slow);
  double fast_e = seed_mean(x + (slow - fast), fast);
  double line = fast_e - slow_e;
  double signal_sum = 0.0;
  signal_sum += line;
  for (std::size_t i = slow; i <= first; ++i) {
    slow_e = ema_step(slow_e, x[i], k_slow);
    fast_e = ema_step(fast_e, x[i], k_fast);
    line = fast_e - slow_e;
    signal_sum += line;
  }
  double signal_e = signal_sum / static_cast<double>(signal);
  write_macd(r, first, line, signal_e);
  for (std::size_t i = first + 1; i < n; ++i) {
    slow_e = ema_step(slow_e, x[i], k_slow);
    fast_e = ema_step(fast_e, x[i], k_fast);
    line = fast_e - slow_e;
    signal_e = ema_step(signal_e, line, k_signal);
    write_macd(r, i, line, signal_e);
  }
  return r;
}

BandsResult bbands(SeriesView close, std::size_t period, double num_std_up, double num_std_dn) {
  const std::size_t n = close.size();
  BandsResult r{nan_series(n), sma(close, period), nan_series(n)};
  if (period == 0 || period > n) return r;
  const double* x = close.data();
  for_each_position(period - 1, n, [&](auto lanes, std::size_t i) {
    using Lanes = decltype(lanes);
    constexpr std::size_t kL = Lanes::size;
    double sd[kL];
    welford_sd<Lanes>(x + (i + 1 - period), period, 1, sd);
    for (std::size_t w = 0; w < kL; ++w) {
      const double middle = r.middle[i + w];
      if (is_nan(middle)) continue;
      r.upper[i + w] = upper_band(middle, num_std_up, sd[w]);
      r.lower[i + w] = lower_band(middle, num_std_dn, sd[w]);
    }
  });
  return r;
}

BandsResult bollinger(SeriesView close, std::size_t period, double num_std_up,
                      double num_std_dn) {
  return bbands(close, period, num_std_up, num_std_dn);
}

}  // namespace tessarin::indicators

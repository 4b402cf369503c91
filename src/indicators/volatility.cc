#include "indicators/volatility.h"

namespace tessarin::indicators {

namespace {

bool same_length(SeriesView a, SeriesView b, SeriesView c) {
  return a.size() == b.size() && a.size() == c.size();
}

}  // namespace

Series trange(SeriesView high, SeriesView low, SeriesView close) {
  const std::size_t n = high.size();
  Series out = nan_series(n);
  if (n < 2 || !same_length(high, low, close)) return out;
  for (std::size_t i = 1; i < n; ++i) out[i] = true_range(high[i], low[i], close[i - 1]);
  return out;
}

Series wilder_atr(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  const std::size_t n = high.size();
  Series out = nan_series(n);
  if (!same_length(high, low, close) || period == 0 || period >= n) return out;
  const double* h = high.data();
  const double* l = low.data();
  const double* c = close.data();
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  double sum = 0.0;
  for (std::size_t i = 1; i <= period; ++i) sum += true_range(h[i], l[i], c[i - 1]);
  double atr = sum / p;
  out[period] = atr;
  for (std::size_t i = period + 1; i < n; ++i) {
    atr = wilder_average(atr, true_range(h[i], l[i], c[i - 1]), p1, p);
    out[i] = atr;
  }
  return out;
}

Series natr(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  Series out = wilder_atr(high, low, close, period);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double atr = out[i];
    if (is_nan(atr)) continue;
    // Divide first, then scale: the order fixes the last bit.
    out[i] = close[i] == 0.0 ? 0.0 : atr / close[i] * 100.0;
  }
  return out;
}

}  // namespace tessarin::indicators

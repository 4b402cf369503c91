#include "indicators/volume.h"

#include <algorithm>

namespace tessarin::indicators {

namespace {

// Volume weighted by where the close sits in the bar's range; a bar without a
// (positive) range moves nothing.
double money_flow_volume(double high, double low, double close, double volume) {
  const double range = high - low;
  if (!(range > 0.0)) return 0.0;
  return volume * (((close - low) - (high - close)) / range);
}

bool four_equal(SeriesView h, SeriesView l, SeriesView c, SeriesView v) {
  return h.size() == c.size() && l.size() == c.size() && v.size() == c.size();
}

}  // namespace

Series obv(SeriesView close, SeriesView volume) {
  const std::size_t n = close.size();
  if (n == 0 || volume.size() != n) return {};
  Series out(n);
  double total = volume[0];
  out[0] = total;
  for (std::size_t i = 1; i < n; ++i) {
    if (close[i] > close[i - 1]) {
      total += volume[i];
    } else if (close[i] < close[i - 1]) {
      total -= volume[i];
    }
    out[i] = total;
  }
  return out;
}

Series ad(SeriesView high, SeriesView low, SeriesView close, SeriesView volume) {
  const std::size_t n = close.size();
  if (n == 0 || !four_equal(high, low, close, volume)) return {};
  Series out(n);
  double line = money_flow_volume(high[0], low[0], close[0], volume[0]);
  out[0] = line;
  for (std::size_t i = 1; i < n; ++i) {
    line += money_flow_volume(high[i], low[i], close[i], volume[i]);
    out[i] = line;
  }
  return out;
}

Series adosc(SeriesView high, SeriesView low, SeriesView close, SeriesView volume,
             std::size_t fast, std::size_t slow) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (n == 0 || !four_equal(high, low, close, volume) || fast < 2 || slow < 2) return out;
  const std::size_t first = std::max(fast, slow) - 1;
  if (first >= n) return out;
  const double k_fast = ema_alpha(fast);
  const double k_slow = ema_alpha(slow);
  const double keep_fast = 1.0 - k_fast;
  const double keep_slow = 1.0 - k_slow;
  double line = money_flow_volume(high[0], low[0], close[0], volume[0]);
  double fast_e = line;
  double slow_e = line;
  for (std::size_t i = 1; i < n; ++i) {
    line += money_flow_volume(high[i], low[i], close[i], volume[i]);
    fast_e = blend_step(fast_e, line, k_fast, keep_fast);
    slow_e = blend_step(slow_e, line, k_slow, keep_slow);
    if (i >= first) out[i] = fast_e - slow_e;
  }
  return out;
}

}  // namespace tessarin::indicators

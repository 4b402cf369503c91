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

namespace {

// Wilder's average of the true range, handing each defined value to
// emit(i, atr). One loop serves ATR and NATR, so NATR's division overlaps the
// recurrence (which is bound by its own chain of dependent roundings).
template <class Emit>
void atr_recurrence(SeriesView high, SeriesView low, SeriesView close, std::size_t period, Emit emit) {
  const std::size_t n = high.size();
  const double* h = high.data();
  const double* l = low.data();
  const double* c = close.data();
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  double sum = 0.0;
  for (std::size_t i = 1; i <= period; ++i) sum += true_range(h[i], l[i], c[i - 1]);
  double atr = sum / p;
  emit(period, atr);
  for (std::size_t i = period + 1; i < n; ++i) {
    atr = wilder_average(atr, true_range(h[i], l[i], c[i - 1]), p1, p);
    emit(i, atr);
  }
}

bool atr_defined(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  return same_length(high, low, close) && period != 0 && period < high.size();
}

}  // namespace

Series wilder_atr(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  Series out = nan_series(high.size());
  if (!atr_defined(high, low, close, period)) return out;
  atr_recurrence(high, low, close, period, [&](std::size_t i, double atr) { out[i] = atr; });
  return out;
}

Series natr(SeriesView high, SeriesView low, SeriesView close, std::size_t period) {
  Series out = nan_series(high.size());
  if (!atr_defined(high, low, close, period)) return out;
  const double* c = close.data();
  atr_recurrence(high, low, close, period, [&](std::size_t i, double atr) {
    // Divide first, then scale: the order fixes the last bit. An undefined ATR
    // stays NaN even where the close is 0.
    out[i] = is_nan(atr) ? atr : (c[i] == 0.0 ? 0.0 : atr / c[i] * 100.0);
  });
  return out;
}

}  // namespace tessarin::indicators

#include "indicators/momentum.h"

namespace tessarin::indicators {

namespace {

// Applies f(current, prev) at every index >= period, prev = close[i - period].
template <typename Change>
Series lagged(SeriesView close, std::size_t period, Change f) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (period == 0 || period >= n) return out;
  const double* x = close.data();
  for (std::size_t i = period; i < n; ++i) out[i] = f(x[i], x[i - period]);
  return out;
}

}  // namespace

Series rsi(SeriesView close, std::size_t period) {
  const std::size_t n = close.size();
  Series out = nan_series(n);
  if (period == 0 || period >= n) return out;
  const double* x = close.data();
  const double p = static_cast<double>(period);
  const double p1 = static_cast<double>(period - 1);
  double gain = 0.0;
  double loss = 0.0;
  for (std::size_t i = 1; i <= period; ++i) rsi_seed(x[i] - x[i - 1], gain, loss);
  double avg_gain = gain / p;
  double avg_loss = loss / p;
  out[period] = rsi_value(avg_gain, avg_loss);
  for (std::size_t i = period + 1; i < n; ++i) {
    rsi_update(x[i] - x[i - 1], p1, p, avg_gain, avg_loss);
    out[i] = rsi_value(avg_gain, avg_loss);
  }
  return out;
}

Series mom(SeriesView close, std::size_t period) {
  return lagged(close, period, [](double x, double prev) { return x - prev; });
}

// The quotient is formed before the zero test so the loops stay branch-free;
// a division by zero here has no effect beyond the discarded value.
Series roc(SeriesView close, std::size_t period) {
  return lagged(close, period, [](double x, double prev) {
    const double v = (x - prev) * 100.0 / prev;
    return prev == 0.0 ? 0.0 : v;
  });
}

Series rocp(SeriesView close, std::size_t period) {
  return lagged(close, period, [](double x, double prev) {
    const double v = (x - prev) / prev;
    return prev == 0.0 ? 0.0 : v;
  });
}

Series rocr(SeriesView close, std::size_t period) {
  return lagged(close, period, [](double x, double prev) {
    const double v = x / prev;
    return prev == 0.0 ? 0.0 : v;
  });
}

}  // namespace tessarin::indicators

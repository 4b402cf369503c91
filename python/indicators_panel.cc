// Panel indicator functions. A panel crosses as one flat float sequence plus
// n_names; a wrong shape is not an error but a NaN result, as in the core, so
// these raise only while converting arguments.
#include "indicators_panel.h"

#include <cstdint>

#include "indicators/panel.h"

namespace tessarin::python {
namespace {

namespace ind = tessarin::indicators;

// Defaults of the signatures in indicators_panel.h.
constexpr uint64_t kRsiPeriod = 14;
constexpr uint64_t kMacdFast = 12;
constexpr uint64_t kMacdSlow = 26;
constexpr uint64_t kMacdSignal = 9;
constexpr uint64_t kBandsPeriod = 20;
constexpr double kBandsWidth = 2.0;
constexpr uint64_t kAtrPeriod = 14;

using ClosePanelKernel = ind::Series (*)(ind::SeriesView, std::size_t, std::size_t);

// (close, n_names, period) with a required or defaulted period.
template <ClosePanelKernel Kernel>
PyObject* close_panel(const bind::Args& a, uint64_t period_default) {
  const bind::FloatSeries close = a.get<bind::FloatSeries>(0);
  const uint64_t n_names = a.get<uint64_t>(1);
  const uint64_t period = a.get_or<uint64_t>(2, period_default);
  return bind::to_py(Kernel(close.span(), n_names, period));
}

// Stands in for the default of a required parameter, which the binder always fills.
constexpr uint64_t kRequired = 0;

}  // namespace

PyObject* sma_panel(const bind::Args& a) { return close_panel<ind::sma_panel>(a, kRequired); }

PyObject* sma_panel_by_column(const bind::Args& a) {
  return close_panel<ind::sma_panel_by_column>(a, kRequired);
}

PyObject* ema_panel(const bind::Args& a) { return close_panel<ind::ema_panel>(a, kRequired); }

PyObject* ema_panel_by_column(const bind::Args& a) {
  return close_panel<ind::ema_panel_by_column>(a, kRequired);
}

PyObject* rsi_panel(const bind::Args& a) { return close_panel<ind::rsi_panel>(a, kRsiPeriod); }

PyObject* macd_panel(const bind::Args& a) {
  const bind::FloatSeries close = a.get<bind::FloatSeries>(0);
  const uint64_t n_names = a.get<uint64_t>(1);
  const uint64_t fast = a.get_or<uint64_t>(2, kMacdFast);
  const uint64_t slow = a.get_or<uint64_t>(3, kMacdSlow);
  const uint64_t signal = a.get_or<uint64_t>(4, kMacdSignal);
  const ind::MacdResult r = ind::macd_panel(close.span(), n_names, fast, slow, signal);
  return bind::tuple_of(r.macd, r.signal, r.histogram);
}

PyObject* bbands_panel(const bind::Args& a) {
  const bind::FloatSeries close = a.get<bind::FloatSeries>(0);
  const uint64_t n_names = a.get<uint64_t>(1);
  const uint64_t period = a.get_or<uint64_t>(2, kBandsPeriod);
  const double up = a.get_or<double>(3, kBandsWidth);
  const double down = a.get_or<double>(4, kBandsWidth);
  const ind::BandsResult r = ind::bbands_panel(close.span(), n_names, period, up, down);
  return bind::tuple_of(r.upper, r.middle, r.lower);
}

PyObject* atr_panel(const bind::Args& a) {
  const bind::FloatSeries high = a.get<bind::FloatSeries>(0);
  const bind::FloatSeries low = a.get<bind::FloatSeries>(1);
  const bind::FloatSeries close = a.get<bind::FloatSeries>(2);
  const uint64_t n_names = a.get<uint64_t>(3);
  const uint64_t period = a.get_or<uint64_t>(4, kAtrPeriod);
  return bind::to_py(ind::atr_panel(high.span(), low.span(), close.span(), n_names, period));
}

}  // namespace tessarin::python

// The Python indicator functions: one module function per single-series
// kernel, the panel functions (indicators_panel.cc) and the indicator
// catalogue. Every function converts its arguments in parameter order, calls
// one kernel and returns lists of float; bad periods, short series and unequal
// lengths are NaN (or empty) results of the kernel, never exceptions.
#include <Python.h>

#include <cstdint>

#include "bind/bind.h"
#include "indicators/catalogue.h"
#include "indicators/directional.h"
#include "indicators/momentum.h"
#include "indicators/moving_average.h"
#include "indicators/oscillator.h"
#include "indicators/stochastic.h"
#include "indicators/volatility.h"
#include "indicators/volume.h"
#include "indicators_panel.h"
#include "registry.h"

namespace tessarin::python {
namespace {

namespace ind = tessarin::indicators;
using bind::Args;
using bind::FloatSeries;
using ind::Series;
using ind::SeriesView;

// ---- shared shapes ----------------------------------------------------------------

// Stands in for the default of a required parameter, which the binder always fills.
constexpr uint64_t kRequired = 0;

using CloseKernel = Series (*)(SeriesView, std::size_t);
using BarKernel = Series (*)(SeriesView, SeriesView, SeriesView, std::size_t);

// (close, period)
template <CloseKernel Kernel>
PyObject* close_period(const Args& a, uint64_t period_default) {
  const FloatSeries close = a.get<FloatSeries>(0);
  const uint64_t period = a.get_or<uint64_t>(1, period_default);
  return bind::to_py(Kernel(close.span(), period));
}

// (high, low, close, period)
template <BarKernel Kernel>
PyObject* bars_period(const Args& a, uint64_t period_default) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const uint64_t period = a.get_or<uint64_t>(3, period_default);
  return bind::to_py(Kernel(high.span(), low.span(), close.span(), period));
}

PyObject* stoch_pair(const ind::StochResult& r) { return bind::tuple_of(r.k, r.d); }

// ---- moving averages --------------------------------------------------------------

constexpr uint64_t kRsiPeriod = 14;
constexpr uint64_t kMacdFast = 12;
constexpr uint64_t kMacdSlow = 26;
constexpr uint64_t kMacdSignal = 9;
constexpr uint64_t kBandsPeriod = 20;
constexpr double kBandsWidth = 2.0;

PyObject* sma(const Args& a) { return close_period<ind::sma>(a, kRequired); }
PyObject* ema(const Args& a) { return close_period<ind::ema>(a, kRequired); }
PyObject* rsi(const Args& a) { return close_period<ind::rsi>(a, kRsiPeriod); }

PyObject* macd(const Args& a) {
  const FloatSeries close = a.get<FloatSeries>(0);
  const uint64_t fast = a.get_or<uint64_t>(1, kMacdFast);
  const uint64_t slow = a.get_or<uint64_t>(2, kMacdSlow);
  const uint64_t signal = a.get_or<uint64_t>(3, kMacdSignal);
  const ind::MacdResult r = ind::macd(close.span(), fast, slow, signal);
  return bind::tuple_of(r.macd, r.signal, r.histogram);
}

using BandsKernel = ind::BandsResult (*)(SeriesView, std::size_t, double, double);

// py_bbands and py_bollinger: one body, each calling its own kernel name.
template <BandsKernel Kernel>
PyObject* bands(const Args& a) {
  const FloatSeries close = a.get<FloatSeries>(0);
  const uint64_t period = a.get_or<uint64_t>(1, kBandsPeriod);
  const double up = a.get_or<double>(2, kBandsWidth);
  const double down = a.get_or<double>(3, kBandsWidth);
  const ind::BandsResult r = Kernel(close.span(), period, up, down);
  return bind::tuple_of(r.upper, r.middle, r.lower);
}

// ---- true range and directional movement ------------------------------------------

constexpr uint64_t kBarPeriod = 14;  // ATR, NATR, the DI family, CCI, Williams' %R

PyObject* wilder_atr(const Args& a) { return bars_period<ind::wilder_atr>(a, kBarPeriod); }
PyObject* natr(const Args& a) { return bars_period<ind::natr>(a, kBarPeriod); }

PyObject* trange(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  return bind::to_py(ind::trange(high.span(), low.span(), close.span()));
}

PyObject* plus_di(const Args& a) { return bars_period<ind::plus_di>(a, kBarPeriod); }
PyObject* minus_di(const Args& a) { return bars_period<ind::minus_di>(a, kBarPeriod); }
PyObject* dx(const Args& a) { return bars_period<ind::dx>(a, kBarPeriod); }
PyObject* adx(const Args& a) { return bars_period<ind::adx>(a, kBarPeriod); }

// ---- oscillators ------------------------------------------------------------------

constexpr uint64_t kStochFastK = 5;
constexpr uint64_t kStochSlowK = 3;
constexpr uint64_t kStochSlowD = 3;
constexpr uint64_t kStochFastD = 3;
constexpr uint64_t kStochRsiPeriod = 14;
constexpr uint64_t kUltoscShort = 7;
constexpr uint64_t kUltoscMiddle = 14;
constexpr uint64_t kUltoscLong = 28;

PyObject* cci(const Args& a) { return bars_period<ind::cci>(a, kBarPeriod); }
PyObject* willr(const Args& a) { return bars_period<ind::willr>(a, kBarPeriod); }

PyObject* stoch(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const uint64_t fastk = a.get_or<uint64_t>(3, kStochFastK);
  const uint64_t slowk = a.get_or<uint64_t>(4, kStochSlowK);
  const uint64_t slowd = a.get_or<uint64_t>(5, kStochSlowD);
  return stoch_pair(ind::stoch(high.span(), low.span(), close.span(), fastk, slowk, slowd));
}

PyObject* stochf(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const uint64_t fastk = a.get_or<uint64_t>(3, kStochFastK);
  const uint64_t fastd = a.get_or<uint64_t>(4, kStochFastD);
  return stoch_pair(ind::stochf(high.span(), low.span(), close.span(), fastk, fastd));
}

PyObject* stochrsi(const Args& a) {
  const FloatSeries close = a.get<FloatSeries>(0);
  const uint64_t timeperiod = a.get_or<uint64_t>(1, kStochRsiPeriod);
  const uint64_t fastk = a.get_or<uint64_t>(2, kStochFastK);
  const uint64_t fastd = a.get_or<uint64_t>(3, kStochFastD);
  return stoch_pair(ind::stochrsi(close.span(), timeperiod, fastk, fastd));
}

PyObject* ultosc(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const uint64_t period1 = a.get_or<uint64_t>(3, kUltoscShort);
  const uint64_t period2 = a.get_or<uint64_t>(4, kUltoscMiddle);
  const uint64_t period3 = a.get_or<uint64_t>(5, kUltoscLong);
  return bind::to_py(
      ind::ultosc(high.span(), low.span(), close.span(), period1, period2, period3));
}

// ---- rate of change ---------------------------------------------------------------

constexpr uint64_t kChangePeriod = 10;

PyObject* mom(const Args& a) { return close_period<ind::mom>(a, kChangePeriod); }
PyObject* roc(const Args& a) { return close_period<ind::roc>(a, kChangePeriod); }
PyObject* rocp(const Args& a) { return close_period<ind::rocp>(a, kChangePeriod); }
PyObject* rocr(const Args& a) { return close_period<ind::rocr>(a, kChangePeriod); }

// ---- volume -----------------------------------------------------------------------

constexpr uint64_t kAdoscFast = 3;
constexpr uint64_t kAdoscSlow = 10;

PyObject* obv(const Args& a) {
  const FloatSeries close = a.get<FloatSeries>(0);
  const FloatSeries volume = a.get<FloatSeries>(1);
  return bind::to_py(ind::obv(close.span(), volume.span()));
}

PyObject* ad(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const FloatSeries volume = a.get<FloatSeries>(3);
  return bind::to_py(ind::ad(high.span(), low.span(), close.span(), volume.span()));
}

PyObject* adosc(const Args& a) {
  const FloatSeries high = a.get<FloatSeries>(0);
  const FloatSeries low = a.get<FloatSeries>(1);
  const FloatSeries close = a.get<FloatSeries>(2);
  const FloatSeries volume = a.get<FloatSeries>(3);
  const uint64_t fast = a.get_or<uint64_t>(4, kAdoscFast);
  const uint64_t slow = a.get_or<uint64_t>(5, kAdoscSlow);
  return bind::to_py(
      ind::adosc(high.span(), low.span(), close.span(), volume.span(), fast, slow));
}

// ---- catalogue --------------------------------------------------------------------

// Sets dict[key] = value, taking over the new reference `value`.
void set_item(PyObject* dict, const char* key, PyObject* value) {
  const bind::Ref owned = bind::Ref::steal(value);
  if (PyDict_SetItemString(dict, key, owned.get()) < 0) throw bind::ErrorAlreadySet{};
}

PyObject* catalogue_row(const ind::IndicatorMeta& row) {
  bind::Ref dict = bind::Ref::steal(bind::check(PyDict_New()));
  set_item(dict.get(), "name", bind::to_py(row.name));
  set_item(dict.get(), "category", bind::to_py(row.category));
  set_item(dict.get(), "input_type", bind::to_py(row.input_type));
  set_item(dict.get(), "core_fn", bind::to_py(row.core_fn));
  set_item(dict.get(), "has_parity", bind::to_py(row.has_parity));
  return dict.release();
}

PyObject* list_supported_indicators() {
  return bind::list_of(ind::indicator_catalogue(), catalogue_row);
}

// ---- signatures and docstrings ----------------------------------------------------

constexpr char kSmaSig[] = "py_sma(close, period)";
constexpr char kSmaDoc[] = "Compute simple moving average.";
constexpr char kEmaSig[] = "py_ema(close, period)";
constexpr char kEmaDoc[] = "Compute exponential moving average.";

constexpr char kRsiSig[] = "py_rsi(close, period=14)";
constexpr char kRsiDoc[] =
    "Compute RSI (Relative Strength Index) using Wilder's smoothing.\n"
    "\n"
    "Drop-in replacement for TA-Lib's RSI, with the same argument order:\n"
    "talib.RSI(close, timeperiod) becomes tessarin.py_rsi(close, period).\n"
    "The first `period` values are NaN, as in TA-Lib.\n"
    "\n"
    "Args:\n"
    "    close: closing prices (list, tuple or 1-D NumPy array of numbers).\n"
    "    period: smoothing period (default 14).\n"
    "\n"
    "Returns:\n"
    "    list of float, as long as `close`.\n"
    "\n"
    "Example:\n"
    "    >>> import tessarin\n"
    "    >>> tessarin.py_rsi([1.0, 2.0, 3.0, 2.0], period=2)\n"
    "    [nan, nan, 100.0, 50.0]";

constexpr char kMacdSig[] = "py_macd(close, fast_period=12, slow_period=26, signal_period=9)";
constexpr char kMacdDoc[] =
    "Compute MACD (Moving Average Convergence Divergence).\n"
    "\n"
    "Drop-in replacement for TA-Lib's MACD, with the same argument order:\n"
    "talib.MACD(close, fastperiod, slowperiod, signalperiod) becomes\n"
    "tessarin.py_macd(close, fast_period, slow_period, signal_period).\n"
    "All three outputs start at index slow_period + signal_period - 2, as in\n"
    "TA-Lib. The periods are not swapped: fast_period >= slow_period gives NaN.\n"
    "\n"
    "Args:\n"
    "    close: closing prices (list, tuple or 1-D NumPy array of numbers).\n"
    "    fast_period: period of the fast exponential average (default 12).\n"
    "    slow_period: period of the slow exponential average (default 26).\n"
    "    signal_period: period of the signal line's average (default 9).\n"
    "\n"
    "Returns:\n"
    "    tuple (macd_line, signal_line, histogram) of lists of float, each as\n"
    "    long as `close`.\n"
    "\n"
    "Example:\n"
    "    >>> import tessarin\n"
    "    >>> macd_line, signal_line, histogram = tessarin.py_macd(\n"
    "    ...     [1.0, 2.0, 3.0, 4.0, 5.0, 6.0], 2, 3, 2)\n"
    "    >>> macd_line\n"
    "    [nan, nan, nan, 0.5, 0.5, 0.5]\n"
    "    >>> histogram\n"
    "    [nan, nan, nan, 0.0, 0.0, 0.0]";

constexpr char kBbandsSig[] = "py_bbands(close, period=20, num_std_up=2.0, num_std_dn=2.0)";
constexpr char kBbandsDoc[] =
    "Compute Bollinger Bands (SMA +/- k * standard deviation).\n"
    "\n"
    "Drop-in replacement for TA-Lib's BBANDS with its simple moving average,\n"
    "with the same argument order: talib.BBANDS(close, timeperiod, nbdevup,\n"
    "nbdevdn) becomes tessarin.py_bbands(close, period, num_std_up, num_std_dn).\n"
    "The deviation is the population standard deviation of the window; the\n"
    "first `period - 1` values are NaN, as in TA-Lib.\n"
    "\n"
    "Args:\n"
    "    close: closing prices (list, tuple or 1-D NumPy array of numbers).\n"
    "    period: window of the average and the deviation (default 20).\n"
    "    num_std_up: deviations above the average (default 2.0).\n"
    "    num_std_dn: deviations below the average (default 2.0).\n"
    "\n"
    "Returns:\n"
    "    tuple (upper_band, middle_band, lower_band) of lists of float, each as\n"
    "    long as `close`.\n"
    "\n"
    "Example:\n"
    "    >>> import tessarin\n"
    "    >>> tessarin.py_bbands([1.0, 2.0, 3.0], period=2)\n"
    "    ([nan, 2.5, 3.5], [nan, 1.5, 2.5], [nan, 0.5, 1.5])";
constexpr char kBollingerSig[] = "py_bollinger(close, period=20, num_std_up=2.0, num_std_dn=2.0)";
constexpr char kBollingerDoc[] = "Explicit Bollinger Bands alias.";

constexpr char kAtrSig[] = "py_atr(high, low, close, period=14)";
constexpr char kAtrDoc[] =
    "Compute ATR (Average True Range) using Wilder's smoothing.\n"
    "\n"
    "Drop-in replacement for TA-Lib's ATR, with the same argument order:\n"
    "talib.ATR(high, low, close, timeperiod) becomes\n"
    "tessarin.py_atr(high, low, close, period). The first `period` values are\n"
    "NaN, as in TA-Lib; the first bar's range is never used.\n"
    "\n"
    "Args:\n"
    "    high, low, close: bar prices of equal length (lists, tuples or 1-D\n"
    "        NumPy arrays of numbers).\n"
    "    period: smoothing period (default 14).\n"
    "\n"
    "Returns:\n"
    "    list of float, as long as `high`.\n"
    "\n"
    "Example:\n"
    "    >>> import tessarin\n"
    "    >>> tessarin.py_atr([2.0, 3.0, 4.0, 6.0], [1.0, 1.0, 2.0, 4.0],\n"
    "    ...                 [1.5, 2.0, 3.0, 5.0], period=2)\n"
    "    [nan, nan, 2.0, 2.5]";
constexpr char kWilderAtrSig[] = "py_wilder_atr(high, low, close, period=14)";
constexpr char kWilderAtrDoc[] = "Explicit Wilder ATR alias for callers distinguishing ATR variants.";
constexpr char kNatrSig[] = "py_natr(high, low, close, period=14)";
constexpr char kNatrDoc[] = "Normalized Average True Range.";
constexpr char kTrangeSig[] = "py_trange(high, low, close)";
constexpr char kTrangeDoc[] = "True Range (unsmoothed).";

constexpr char kStochSig[] =
    "py_stoch(high, low, close, fastk_period=5, slowk_period=3, slowd_period=3)";
constexpr char kStochDoc[] = "Stochastic oscillator (slow %K and %D).";
constexpr char kStochfSig[] = "py_stochf(high, low, close, fastk_period=5, fastd_period=3)";
constexpr char kStochfDoc[] = "Fast stochastic oscillator.";
constexpr char kStochRsiSig[] = "py_stochrsi(close, timeperiod=14, fastk_period=5, fastd_period=3)";
constexpr char kStochRsiDoc[] = "Stochastic RSI.";

constexpr char kPlusDiSig[] = "py_plus_di(high, low, close, period=14)";
constexpr char kPlusDiDoc[] = "Plus Directional Indicator.";
constexpr char kMinusDiSig[] = "py_minus_di(high, low, close, period=14)";
constexpr char kMinusDiDoc[] = "Minus Directional Indicator.";
constexpr char kDxSig[] = "py_dx(high, low, close, period=14)";
constexpr char kDxDoc[] = "Directional Movement Index.";
constexpr char kAdxSig[] = "py_adx(high, low, close, period=14)";
constexpr char kAdxDoc[] = "Average Directional Movement Index.";
constexpr char kCciSig[] = "py_cci(high, low, close, period=14)";
constexpr char kCciDoc[] = "Commodity Channel Index.";
constexpr char kWillrSig[] = "py_willr(high, low, close, period=14)";
constexpr char kWillrDoc[] = "Williams' %R.";
constexpr char kUltoscSig[] = "py_ultosc(high, low, close, period1=7, period2=14, period3=28)";
constexpr char kUltoscDoc[] = "Ultimate Oscillator.";

constexpr char kMomSig[] = "py_mom(close, period=10)";
constexpr char kMomDoc[] = "Momentum.";
constexpr char kRocSig[] = "py_roc(close, period=10)";
constexpr char kRocDoc[] = "Rate of change (percent).";
constexpr char kRocpSig[] = "py_rocp(close, period=10)";
constexpr char kRocpDoc[] = "Rate of change (ratio).";
constexpr char kRocrSig[] = "py_rocr(close, period=10)";
constexpr char kRocrDoc[] = "Rate of change multiplier.";

constexpr char kObvSig[] = "py_obv(close, volume)";
constexpr char kObvDoc[] = "On Balance Volume.";
constexpr char kAdSig[] = "py_ad(high, low, close, volume)";
constexpr char kAdDoc[] = "Chaikin Accumulation/Distribution Line.";
constexpr char kAdoscSig[] = "py_adosc(high, low, close, volume, fast_period=3, slow_period=10)";
constexpr char kAdoscDoc[] = "Chaikin A/D Oscillator.";

constexpr char kCatalogueSig[] = "py_list_supported_indicators()";
constexpr char kCatalogueDoc[] = "List supported technical indicators with parity metadata.";

// Registration order is the module's public function order.
PyMethodDef kIndicatorFunctions[] = {
    bind::function<kSmaSig, sma, kSmaDoc>(),
    bind::function<kSmaPanelSig, sma_panel, kSmaPanelDoc>(),
    bind::function<kSmaPanelByColumnSig, sma_panel_by_column>(),
    bind::function<kEmaSig, ema, kEmaDoc>(),
    bind::function<kEmaPanelSig, ema_panel, kEmaPanelDoc>(),
    bind::function<kEmaPanelByColumnSig, ema_panel_by_column>(),
    bind::function<kRsiSig, rsi, kRsiDoc>(),
    bind::function<kRsiPanelSig, rsi_panel>(),
    bind::function<kMacdSig, macd, kMacdDoc>(),
    bind::function<kMacdPanelSig, macd_panel>(),
    bind::function<kBbandsSig, bands<ind::bbands>, kBbandsDoc>(),
    bind::function<kBbandsPanelSig, bbands_panel>(),
    bind::function<kBollingerSig, bands<ind::bollinger>, kBollingerDoc>(),
    bind::function<kAtrSig, wilder_atr, kAtrDoc>(),
    bind::function<kAtrPanelSig, atr_panel>(),
    bind::function<kWilderAtrSig, wilder_atr, kWilderAtrDoc>(),
    bind::function<kStochSig, stoch, kStochDoc>(),
    bind::function<kStochfSig, stochf, kStochfDoc>(),
    bind::function<kStochRsiSig, stochrsi, kStochRsiDoc>(),
    bind::function<kPlusDiSig, plus_di, kPlusDiDoc>(),
    bind::function<kMinusDiSig, minus_di, kMinusDiDoc>(),
    bind::function<kDxSig, dx, kDxDoc>(),
    bind::function<kAdxSig, adx, kAdxDoc>(),
    bind::function<kCciSig, cci, kCciDoc>(),
    bind::function<kWillrSig, willr, kWillrDoc>(),
    bind::function<kUltoscSig, ultosc, kUltoscDoc>(),
    bind::function<kMomSig, mom, kMomDoc>(),
    bind::function<kRocSig, roc, kRocDoc>(),
    bind::function<kRocpSig, rocp, kRocpDoc>(),
    bind::function<kRocrSig, rocr, kRocrDoc>(),
    bind::function<kObvSig, obv, kObvDoc>(),
    bind::function<kAdSig, ad, kAdDoc>(),
    bind::function<kAdoscSig, adosc, kAdoscDoc>(),
    bind::function<kNatrSig, natr, kNatrDoc>(),
    bind::function<kTrangeSig, trange, kTrangeDoc>(),
    bind::function<kCatalogueSig, list_supported_indicators, kCatalogueDoc>(),
    bind::kEndMethods,
};

}  // namespace

int add_indicator_functions(PyObject* module) {
  return PyModule_AddFunctions(module, kIndicatorFunctions);
}

}  // namespace tessarin::python

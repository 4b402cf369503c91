// The panel indicator functions: one indicator over a flat row-major time x
// names panel, for many instruments in one call. Declared here so the indicator
// area's function table can list them at their places among the single-series
// functions.
#ifndef TESSARIN_PYTHON_INDICATORS_PANEL_H_
#define TESSARIN_PYTHON_INDICATORS_PANEL_H_

#include <Python.h>

#include "bind/bind.h"

namespace tessarin::python {

inline constexpr char kSmaPanelSig[] = "py_sma_panel(close, n_names, period)";
inline constexpr char kSmaPanelDoc[] =
    "Panel SMA. `close` is a flat row-major time \u00d7 names vector.";
inline constexpr char kSmaPanelByColumnSig[] = "py_sma_panel_by_column(close, n_names, period)";
inline constexpr char kEmaPanelSig[] = "py_ema_panel(close, n_names, period)";
inline constexpr char kEmaPanelDoc[] =
    "Panel EMA. `close` is a flat row-major time \u00d7 names vector.";
inline constexpr char kEmaPanelByColumnSig[] = "py_ema_panel_by_column(close, n_names, period)";
inline constexpr char kRsiPanelSig[] = "py_rsi_panel(close, n_names, period=14)";
inline constexpr char kMacdPanelSig[] =
    "py_macd_panel(close, n_names, fast_period=12, slow_period=26, signal_period=9)";
inline constexpr char kBbandsPanelSig[] =
    "py_bbands_panel(close, n_names, period=20, num_std_up=2.0, num_std_dn=2.0)";
inline constexpr char kAtrPanelSig[] = "py_atr_panel(high, low, close, n_names, period=14)";

// Each returns a new list of L floats (or a tuple of such lists), L the panel's
// length; only argument conversion raises.
PyObject* sma_panel(const bind::Args& a);
PyObject* sma_panel_by_column(const bind::Args& a);
PyObject* ema_panel(const bind::Args& a);
PyObject* ema_panel_by_column(const bind::Args& a);
PyObject* rsi_panel(const bind::Args& a);
PyObject* macd_panel(const bind::Args& a);
PyObject* bbands_panel(const bind::Args& a);
PyObject* atr_panel(const bind::Args& a);

}  // namespace tessarin::python

#endif  // TESSARIN_PYTHON_INDICATORS_PANEL_H_

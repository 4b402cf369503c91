// The extension module's entry: multi-phase initialization, and the registration
// of every class and function in its fixed order.
#include <Python.h>

#include "bind/bind.h"
#include "registry.h"

#ifndef TESSARIN_VERSION
#error "TESSARIN_VERSION must be defined by the build"
#endif

namespace tessarin::python {
namespace {

constexpr char kModuleDoc[] =
    "tessarin: Python bindings for a deterministic limit order book\n"
    "and matching engine for testing trading algorithms.";

// ---- capabilities -----------------------------------------------------------------

constexpr const char* kCapabilities[] = {
    "backtest_stops",        "garch_ewma_forecast",
    "optimize_min_variance", "optimize_max_sharpe",
    "optimize_risk_parity",  "inverse_cvar_weights",
    "inverse_cdar_weights",  "backtest_holdings",
    "monte_carlo_stock_valuation_native",
    "monte_carlo_stock_valuation_parity",
};

PyObject* capabilities() {
  return bind::list_of(kCapabilities, [](const char* name) { return bind::to_py(name); });
}

constexpr char kCapabilitiesSig[] = "capabilities()";
constexpr char kPyCapabilitiesSig[] = "py_capabilities()";

PyMethodDef kCapabilityFunctions[] = {
    bind::function<kCapabilitiesSig, capabilities>(),
    bind::function<kPyCapabilitiesSig, capabilities>(),
    bind::kEndMethods,
};

int add_version(PyObject* module) {
  return PyModule_AddStringConstant(module, "__version__", TESSARIN_VERSION);
}

// Registration order: the version, the classes, then the functions.
constexpr RegisterStep kRegistration[] = {
    add_version,
    // classes
    add_exchange_class,
    add_multi_exchange_class,
    add_order_class,
    add_event_class,
    add_submit_result_class,
    add_cancel_result_class,
    add_modify_result_class,
    add_stop_submit_result_class,
    add_trade_class,
    add_level_snapshot_class,
    add_book_snapshot_class,
    // functions
    add_itch_functions,
    add_indicator_functions,
    add_capability_functions,
};

int exec_module(PyObject* module) {
  if (bind::create_internal_failure_type() < 0) return -1;
  for (RegisterStep step : kRegistration) {
    if (step(module) < 0) return -1;
  }
  return 0;
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#ifdef Py_mod_multiple_interpreters
    // The registered classes are kept in process-wide slots, so one interpreter
    // per process may load the module.
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#endif
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "tessarin",
    kModuleDoc,
    0,        // no per-module state
    nullptr,  // no method table: functions are added in order by exec_module
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

int add_capability_functions(PyObject* module) {
  return PyModule_AddFunctions(module, kCapabilityFunctions);
}

}  // namespace tessarin::python

PyMODINIT_FUNC PyInit_tessarin() { return PyModuleDef_Init(&tessarin::python::kModule); }

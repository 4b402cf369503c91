// The registration steps of each area of the module. The module's execution
// function runs them in the fixed order users see in `dir(tessarin)`; each adds
// its classes or functions and returns 0, or -1 with a Python error set.
#ifndef TESSARIN_PYTHON_REGISTRY_H_
#define TESSARIN_PYTHON_REGISTRY_H_

#include <Python.h>

namespace tessarin::python {

using RegisterStep = int (*)(PyObject* module);

// Frame
int add_capability_functions(PyObject* module);
int add_itch_functions(PyObject* module);
int add_indicator_functions(PyObject* module);

// Exchange area, in class registration order.
int add_exchange_class(PyObject* module);
int add_multi_exchange_class(PyObject* module);
int add_order_class(PyObject* module);
int add_event_class(PyObject* module);
int add_submit_result_class(PyObject* module);
int add_cancel_result_class(PyObject* module);
int add_modify_result_class(PyObject* module);
int add_stop_submit_result_class(PyObject* module);
int add_trade_class(PyObject* module);
int add_level_snapshot_class(PyObject* module);
int add_book_snapshot_class(PyObject* module);

}  // namespace tessarin::python

#endif  // TESSARIN_PYTHON_REGISTRY_H_

// The registration steps of each area of the module. The module's execution
// function runs them in the fixed order users see in `dir(tessarin)`; each adds
// its classes or functions and returns 0, or -1 with a Python error set.
#ifndef TESSARIN_PYTHON_REGISTRY_H_
#define TESSARIN_PYTHON_REGISTRY_H_

#include <Python.h>

namespace tessarin::python {

using RegisterStep = int (*)(PyObject* module);

int add_capability_functions(PyObject* module);

}  // namespace tessarin::python

#endif  // TESSARIN_PYTHON_REGISTRY_H_

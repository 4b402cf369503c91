// Failure handling of the binding layer: C++ control flow for "a Python error is
// set", and the one table that maps every C++ exception to a Python exception.
#ifndef TESSARIN_PYTHON_BIND_ERRORS_H_
#define TESSARIN_PYTHON_BIND_ERRORS_H_

#include <Python.h>

#include <string>
#include <string_view>

namespace tessarin::bind {

// Thrown after a Python exception has been set; unwinds to the binding entry.
struct ErrorAlreadySet {};

// Sets `type` with `message` and throws ErrorAlreadySet.
[[noreturn]] void raise(PyObject* type, std::string_view message);

// Throws ErrorAlreadySet when a C API call has reported failure by returning null.
inline PyObject* check(PyObject* result) {
  if (result == nullptr) throw ErrorAlreadySet{};
  return result;
}

// The module's internal-failure class (derived from BaseException): raised when a
// core invariant breaks. Created once by the module's execution function.
PyObject* internal_failure_type();
int create_internal_failure_type();

// Converts the exception in flight into a Python error. Call only from a catch block.
void set_error_from_current_exception();

// Runs `body` (returning PyObject*) and maps any C++ exception to a Python error
// and a null result, so no exception ever crosses into the interpreter.
template <class F>
PyObject* guarded(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    set_error_from_current_exception();
    return nullptr;
  }
}

// Like guarded, for slots that report failure with -1.
template <class F>
int guarded_int(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    set_error_from_current_exception();
    return -1;
  }
}

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_ERRORS_H_

#include "bind/errors.h"

#include <new>
#include <stdexcept>

#include "invariant.h"

namespace tessarin::bind {
namespace {

// Holds a strong reference for the life of the process: the class is created by
// the first execution of the module and shared by later ones.
PyObject* g_internal_failure = nullptr;

constexpr const char kInternalFailureDoc[] =
    "Raised when an internal invariant of tessarin is violated.\n\n"
    "It derives from BaseException, not Exception: it reports a bug in tessarin, "
    "not a problem with the caller's input, and the object that raised it may be "
    "left in a partly updated state.";

}  // namespace

void raise(PyObject* type, std::string_view message) {
  PyObject* text = PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size()));
  if (text != nullptr) {
    PyErr_SetObject(type, text);
    Py_DECREF(text);
  }
  throw ErrorAlreadySet{};
}

PyObject* internal_failure_type() { return g_internal_failure; }

int create_internal_failure_type() {
  if (g_internal_failure != nullptr) return 0;
  g_internal_failure = PyErr_NewExceptionWithDoc("tessarin.InternalFailure", kInternalFailureDoc,
                                                 PyExc_BaseException, nullptr);
  return g_internal_failure == nullptr ? -1 : 0;
}

void set_error_from_current_exception() {
  try {
    throw;
  } catch (const ErrorAlreadySet&) {
    // The Python error is already set.
  } catch (const InvariantFailure& e) {
    PyErr_SetString(g_internal_failure, e.what());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_SystemError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
  }
}

}  // namespace tessarin::bind

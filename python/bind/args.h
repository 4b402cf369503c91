// Binds the arguments of one call (vectorcall convention, or a tuple and dict)
// to the parameters of a Signature, with CPython's TypeError messages for
// missing, unexpected, surplus and repeated arguments.
#ifndef TESSARIN_PYTHON_BIND_ARGS_H_
#define TESSARIN_PYTHON_BIND_ARGS_H_

#include <Python.h>

#include <array>
#include <string>

#include "bind/convert.h"
#include "bind/signature.h"

namespace tessarin::bind {

class Args {
 public:
  // Binds; throws ErrorAlreadySet with a TypeError set on a mismatch. `owner` is
  // the class name for methods ("Exchange"), or null for module functions.
  Args(const Signature& sig, const char* owner, PyObject* const* args, Py_ssize_t nargs,
       PyObject* kwnames);
  Args(const Signature& sig, const char* owner, PyObject* args, PyObject* kwargs);

  // The argument bound to parameter i, or null when it was omitted (defaulted).
  PyObject* operator[](size_t i) const { return slots_[i]; }
  bool has(size_t i) const { return slots_[i] != nullptr; }
  std::string_view name(size_t i) const { return sig_.params[i].name; }

  // Parameter i converted to T; REQUIRES: it is a required parameter or was given.
  template <class T>
  T get(size_t i) const {
    return from_py<T>(slots_[i], sig_.params[i].name);
  }
  // Parameter i converted to T, or `fallback` when omitted.
  template <class T>
  T get_or(size_t i, T fallback) const {
    return has(i) ? get<T>(i) : fallback;
  }

 private:
  void bind_keyword(PyObject* key, PyObject* value, Py_ssize_t nargs);
  void check_positional_count(Py_ssize_t nargs) const;
  void check_required() const;
  [[noreturn]] void fail(const std::string& what) const;

  const Signature& sig_;
  const char* owner_;
  std::array<PyObject*, kMaxParams> slots_{};
};

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_ARGS_H_

// Conversions between Python objects and native values, with the host's
// semantics: TypeError naming the parameter for a wrong type, OverflowError for
// an int outside the parameter's range, `str` refused where a sequence is
// expected. Each converter is a small overload that a binding opts into.
#ifndef TESSARIN_PYTHON_BIND_CONVERT_H_
#define TESSARIN_PYTHON_BIND_CONVERT_H_

#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "bind/errors.h"

namespace tessarin::bind {

// An owned (strong) reference.
class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* obj) { return Ref(obj); }
  static Ref borrow(PyObject* obj) { return Ref(Py_XNewRef(obj)); }
  Ref(Ref&& other) noexcept : obj_(other.obj_) { other.obj_ = nullptr; }
  Ref& operator=(Ref&& other) noexcept {
    std::swap(obj_, other.obj_);
    return *this;
  }
  ~Ref() { Py_XDECREF(obj_); }
  PyObject* get() const { return obj_; }
  PyObject* release() {
    PyObject* obj = obj_;
    obj_ = nullptr;
    return obj;
  }

 private:
  explicit Ref(PyObject* obj) : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

// A float series argument: a view of the caller's float64 buffer when it exposes
// one (NumPy arrays), or an owned copy converted element by element.
class FloatSeries {
 public:
  FloatSeries() = default;
  FloatSeries(FloatSeries&& other) noexcept;
  FloatSeries& operator=(FloatSeries&&) = delete;
  ~FloatSeries();

  static FloatSeries from(PyObject* obj, std::string_view param);

  std::span<const double> span() const { return view_; }
  size_t size() const { return view_.size(); }
  // An owned copy, safe to use without the interpreter lock.
  std::vector<double> to_vector() const { return {view_.begin(), view_.end()}; }

 private:
  Py_buffer buffer_{};
  bool has_buffer_ = false;
  std::vector<double> owned_;
  std::span<const double> view_;
};

// Raises TypeError "argument 'name': <message>".
[[noreturn]] void argument_error(PyObject* type, std::string_view param, std::string_view message);

// Python type name of an object, for messages.
std::string_view type_name(PyObject* obj);

int64_t to_int64(PyObject* obj, std::string_view param);
uint64_t to_uint64(PyObject* obj, std::string_view param);
double to_double(PyObject* obj, std::string_view param);
bool to_bool(PyObject* obj, std::string_view param);
// UTF-8 view of a str argument; valid while the object lives.
std::string_view to_text(PyObject* obj, std::string_view param);
// A list or tuple (or other sequence, copied) of objects; `str` refused.
std::vector<Ref> to_object_list(PyObject* obj, std::string_view param);

template <class T>
struct Converter;  // specialised below for each supported parameter type

template <class T>
T from_py(PyObject* obj, std::string_view param) {
  return Converter<T>::convert(obj, param);
}

template <>
struct Converter<int64_t> {
  static int64_t convert(PyObject* o, std::string_view p) { return to_int64(o, p); }
};
template <>
struct Converter<uint64_t> {
  static uint64_t convert(PyObject* o, std::string_view p) { return to_uint64(o, p); }
};
template <>
struct Converter<double> {
  static double convert(PyObject* o, std::string_view p) { return to_double(o, p); }
};
template <>
struct Converter<bool> {
  static bool convert(PyObject* o, std::string_view p) { return to_bool(o, p); }
};
template <>
struct Converter<std::string_view> {
  static std::string_view convert(PyObject* o, std::string_view p) { return to_text(o, p); }
};
template <>
struct Converter<FloatSeries> {
  static FloatSeries convert(PyObject* o, std::string_view p) { return FloatSeries::from(o, p); }
};
template <class T>
struct Converter<std::optional<T>> {
  static std::optional<T> convert(PyObject* o, std::string_view p) {
    if (o == nullptr || o == Py_None) return std::nullopt;
    return from_py<T>(o, p);
  }
};

// ---- native -> Python ---------------------------------------------------------
// Each returns a new reference and throws ErrorAlreadySet on failure.
inline PyObject* to_py(PyObject* owned) { return check(owned); }
inline PyObject* to_py(bool v) { return Py_NewRef(v ? Py_True : Py_False); }
inline PyObject* to_py(int64_t v) { return check(PyLong_FromLongLong(v)); }
inline PyObject* to_py(uint64_t v) { return check(PyLong_FromUnsignedLongLong(v)); }
inline PyObject* to_py(double v) { return check(PyFloat_FromDouble(v)); }
inline PyObject* to_py(std::string_view v) {
  return check(PyUnicode_FromStringAndSize(v.data(), static_cast<Py_ssize_t>(v.size())));
}
inline PyObject* to_py(const std::string& v) { return to_py(std::string_view(v)); }
inline PyObject* to_py(const char* v) { return to_py(std::string_view(v)); }
inline PyObject* none() { return Py_NewRef(Py_None); }

template <class T>
PyObject* to_py(const std::optional<T>& v) {
  return v ? to_py(*v) : none();
}

// A new list of converted elements; `convert(element)` returns a new reference.
template <class Range, class F>
PyObject* list_of(const Range& items, F&& convert) {
  PyObject* list = check(PyList_New(static_cast<Py_ssize_t>(std::size(items))));
  Py_ssize_t i = 0;
  for (const auto& item : items) {
    PyObject* element = nullptr;
    try {
      element = convert(item);
    } catch (...) {
      Py_DECREF(list);
      throw;
    }
    PyList_SET_ITEM(list, i++, element);
  }
  return list;
}

// A new list of float. Analytics results run to millions of values, so this is
// one tight loop of float allocations with no per-element dispatch.
PyObject* float_list(std::span<const double> values);
inline PyObject* to_py(const std::vector<double>& v) { return float_list(v); }

template <class T>
PyObject* to_py(const std::vector<T>& v) {
  return list_of(v, [](const T& x) { return to_py(x); });
}

// A new tuple of converted values.
template <class... T>
PyObject* tuple_of(const T&... values) {
  PyObject* tuple = check(PyTuple_New(sizeof...(T)));
  try {
    Py_ssize_t i = 0;
    ((PyTuple_SET_ITEM(tuple, i++, to_py(values))), ...);
  } catch (...) {
    Py_DECREF(tuple);  // unset items are null, which the tuple's destructor skips
    throw;
  }
  return tuple;
}

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_CONVERT_H_

#include "bind/convert.h"

#include <cstring>
#include <string>

namespace tessarin::bind {
namespace {

// Re-raises the pending error of the same type with the parameter named in front,
// as CPython's own argument handling words it.
[[noreturn]] void rename_pending_error(std::string_view param) {
#if PY_VERSION_HEX >= 0x030C0000
  PyObject* value = PyErr_GetRaisedException();
  PyObject* type = value != nullptr ? Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(value))) : nullptr;
#else
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  Py_XDECREF(traceback);
#endif
  std::string message = "argument '" + std::string(param) + "': ";
  PyObject* text = value != nullptr ? PyObject_Str(value) : nullptr;
  const char* utf8 = text != nullptr ? PyUnicode_AsUTF8(text) : nullptr;
  if (utf8 != nullptr) message += utf8;
  PyErr_Clear();
  Py_XDECREF(text);
  Py_XDECREF(value);
  PyObject* raised = type != nullptr ? type : PyExc_TypeError;
  PyErr_SetString(raised, message.c_str());
  Py_XDECREF(type);
  throw ErrorAlreadySet{};
}

// The int behind `obj`: itself, or the result of its __index__ (which may run
// Python code). New reference.
PyObject* as_index(PyObject* obj, std::string_view param) {
  if (PyLong_Check(obj)) return Py_NewRef(obj);
  PyObject* index = PyNumber_Index(obj);
  if (index == nullptr) rename_pending_error(param);
  return index;
}

bool is_native_double_format(const char* format) {
  return format != nullptr && (std::strcmp(format, "d") == 0 || std::strcmp(format, "@d") == 0 ||
                               std::strcmp(format, "=d") == 0 ||
                               std::strcmp(format, "<d") == 0);  // this build is little-endian
}

}  // namespace

void argument_error(PyObject* type, std::string_view param, std::string_view message) {
  raise(type, "argument '" + std::string(param) + "': " + std::string(message));
}

std::string_view type_name(PyObject* obj) { return Py_TYPE(obj)->tp_name; }

int64_t to_int64(PyObject* obj, std::string_view param) {
  PyObject* index = as_index(obj, param);
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow != 0) argument_error(PyExc_OverflowError, param, "int too big to convert");
  if (v == -1 && PyErr_Occurred()) rename_pending_error(param);
  return v;
}

uint64_t to_uint64(PyObject* obj, std::string_view param) {
  PyObject* index = as_index(obj, param);
  // Raises OverflowError for negative and for too large values.
  const unsigned long long v = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) rename_pending_error(param);
  return v;
}

double to_double(PyObject* obj, std::string_view param) {
  if (PyFloat_CheckExact(obj)) return PyFloat_AS_DOUBLE(obj);
  const double v = PyFloat_AsDouble(obj);
  if (v == -1.0 && PyErr_Occurred()) rename_pending_error(param);
  return v;
}

bool to_bool(PyObject* obj, std::string_view param) {
  if (obj == Py_True) return true;
  if (obj == Py_False) return false;
  argument_error(PyExc_TypeError, param, "expected bool, got " + std::string(type_name(obj)));
}

std::string_view to_text(PyObject* obj, std::string_view param) {
  if (!PyUnicode_Check(obj)) {
    argument_error(PyExc_TypeError, param, "expected str, got " + std::string(type_name(obj)));
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(obj, &size);
  if (utf8 == nullptr) rename_pending_error(param);
  return {utf8, static_cast<size_t>(size)};
}

std::vector<Ref> to_object_list(PyObject* obj, std::string_view param) {
  if (PyUnicode_Check(obj)) argument_error(PyExc_TypeError, param, "expected a sequence, got str");
  if (!PySequence_Check(obj)) {
    argument_error(PyExc_TypeError, param, "expected a sequence, got " + std::string(type_name(obj)));
  }
  PyObject* fast = PySequence_Fast(obj, "expected a sequence");
  if (fast == nullptr) rename_pending_error(param);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
  PyObject** items = PySequence_Fast_ITEMS(fast);
  // Strong references: converting one element may run Python code that mutates
  // the caller's list.
  std::vector<Ref> out;
  out.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) out.push_back(Ref::borrow(items[i]));
  Py_DECREF(fast);
  return out;
}

PyObject* float_list(std::span<const double> values) {
  const Py_ssize_t n = static_cast<Py_ssize_t>(values.size());
  PyObject* list = check(PyList_New(n));
  const double* x = values.data();
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyFloat_FromDouble(x[i]);
    if (item == nullptr) {
      Py_DECREF(list);  // the unset items are null, which the list's destructor skips
      throw ErrorAlreadySet{};
    }
    PyList_SET_ITEM(list, i, item);
  }
  return list;
}

// ---- FloatSeries ----------------------------------------------------------------

FloatSeries::FloatSeries(FloatSeries&& other) noexcept
    : buffer_(other.buffer_),
      has_buffer_(other.has_buffer_),
      owned_(std::move(other.owned_)),
      view_(has_buffer_ ? other.view_ : std::span<const double>(owned_)) {
  other.has_buffer_ = false;
  other.view_ = {};
}

FloatSeries::~FloatSeries() {
  if (has_buffer_) PyBuffer_Release(&buffer_);
}

FloatSeries FloatSeries::from(PyObject* obj, std::string_view param) {
  FloatSeries series;
  if (PyUnicode_Check(obj)) argument_error(PyExc_TypeError, param, "expected a sequence of floats, got str");
  // Fast path: a one-dimensional, contiguous float64 buffer is read in place.
  if (PyObject_CheckBuffer(obj) && !PyBytes_Check(obj) && !PyByteArray_Check(obj)) {
    Py_buffer view;
    if (PyObject_GetBuffer(obj, &view, PyBUF_FORMAT | PyBUF_C_CONTIGUOUS) == 0) {
      if (view.ndim == 1 && is_native_double_format(view.format)) {
        series.buffer_ = view;
        series.has_buffer_ = true;
        series.view_ = {static_cast<const double*>(view.buf), static_cast<size_t>(view.shape[0])};
        return series;
      }
      PyBuffer_Release(&view);
    } else {
      PyErr_Clear();  // not a contiguous buffer: read it as a sequence below
    }
  }
  if (!PySequence_Check(obj)) {
    argument_error(PyExc_TypeError, param, "expected a sequence of floats, got " + std::string(type_name(obj)));
  }
  PyObject* fast = PySequence_Fast(obj, "expected a sequence of floats");
  if (fast == nullptr) rename_pending_error(param);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
  PyObject** items = PySequence_Fast_ITEMS(fast);
  series.owned_.resize(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = items[i];
    double v = 0;
    if (PyFloat_CheckExact(item)) {
      v = PyFloat_AS_DOUBLE(item);
    } else {
      v = PyFloat_AsDouble(item);
      if (v == -1.0 && PyErr_Occurred()) {
        Py_DECREF(fast);
        rename_pending_error(param);
      }
    }
    series.owned_[static_cast<size_t>(i)] = v;
  }
  Py_DECREF(fast);
  series.view_ = series.owned_;
  return series;
}

}  // namespace tessarin::bind

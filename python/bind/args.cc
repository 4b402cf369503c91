#include "bind/args.h"

#include <vector>

#include "bind/errors.h"

namespace tessarin::bind {
namespace {

std::string quoted_list(const std::vector<std::string_view>& names) {
  // CPython's form: 'a', 'b' and 'c'
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += (i + 1 == names.size()) ? (names.size() > 2 ? ", and " : " and ") : ", ";
    out += '\'';
    out += names[i];
    out += '\'';
  }
  return out;
}

}  // namespace

Args::Args(const Signature& sig, const char* owner, PyObject* const* args, Py_ssize_t nargs,
           PyObject* kwnames)
    : sig_(sig), owner_(owner) {
  check_positional_count(nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) slots_[static_cast<size_t>(i)] = args[i];
  if (kwnames != nullptr) {
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      bind_keyword(PyTuple_GET_ITEM(kwnames, k), args[nargs + k], nargs);
    }
  }
  if (static_cast<size_t>(nargs) < sig_.required_positional || kwnames != nullptr ||
      sig_.required_keyword_only) {
    check_required();
  }
}

Args::Args(const Signature& sig, const char* owner, PyObject* args, PyObject* kwargs)
    : sig_(sig), owner_(owner) {
  const Py_ssize_t nargs = args == nullptr ? 0 : PyTuple_GET_SIZE(args);
  check_positional_count(nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) slots_[static_cast<size_t>(i)] = PyTuple_GET_ITEM(args, i);
  if (kwargs != nullptr) {
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t pos = 0;
    while (PyDict_Next(kwargs, &pos, &key, &value)) bind_keyword(key, value, nargs);
  }
  check_required();
}

void Args::check_positional_count(Py_ssize_t nargs) const {
  const size_t given = static_cast<size_t>(nargs);
  if (given <= sig_.positional) return;
  std::string what;
  if (sig_.positional == 0) {
    what = "takes no positional arguments";
    if (sig_.count == 0) what = "takes no arguments";
    what += " (" + std::to_string(given) + " given)";
    fail(what);
  }
  if (sig_.required_positional == sig_.positional) {
    what = "takes " + std::to_string(sig_.positional);
  } else {
    what = "takes from " + std::to_string(sig_.required_positional) + " to " +
           std::to_string(sig_.positional);
  }
  what += sig_.positional == 1 ? " positional argument" : " positional arguments";
  what += " but " + std::to_string(given) + (given == 1 ? " was given" : " were given");
  fail(what);
}

void Args::bind_keyword(PyObject* key, PyObject* value, Py_ssize_t nargs) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(key, &size);
  if (text == nullptr) throw ErrorAlreadySet{};
  const std::string_view keyword(text, static_cast<size_t>(size));
  const int index = sig_.index_of(keyword);
  if (index < 0) fail("got an unexpected keyword argument '" + std::string(keyword) + "'");
  const size_t i = static_cast<size_t>(index);
  if (slots_[i] != nullptr || i < static_cast<size_t>(nargs)) {
    fail("got multiple values for argument '" + std::string(keyword) + "'");
  }
  slots_[i] = value;
}

void Args::check_required() const {
  std::vector<std::string_view> positional;
  std::vector<std::string_view> keyword;
  for (size_t i = 0; i < sig_.count; ++i) {
    const Param& p = sig_.params[i];
    if (p.has_default || slots_[i] != nullptr) continue;
    (p.keyword_only ? keyword : positional).push_back(p.name);
  }
  auto missing = [&](const std::vector<std::string_view>& names, const char* kind) {
    fail("missing " + std::to_string(names.size()) + " required " + kind +
         (names.size() == 1 ? " argument: " : " arguments: ") + quoted_list(names));
  };
  if (!positional.empty()) missing(positional, "positional");
  if (!keyword.empty()) missing(keyword, "keyword");
}

void Args::fail(const std::string& what) const {
  std::string message;
  if (owner_ != nullptr) {
    message += owner_;
    message += '.';
  }
  message += sig_.name;
  message += "() ";
  message += what;
  raise(PyExc_TypeError, message);
}

}  // namespace tessarin::bind

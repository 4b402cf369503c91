// Python classes that hold one native value: heap types built from a small spec,
// instances that own their value exclusively and carry the access flag, and the
// entry points (methods, static methods, module functions, read-only attributes,
// reprs, constructors) that turn a plain C++ function into a CPython callable.
//
// A binding is written as an ordinary function over native values:
//   PyObject* f(Exchange& self, const Args& a)   -> a method taking exclusive access
//   Price     g(const Exchange& self)            -> a method taking shared access
// The constness of the first parameter chooses the access; the result is
// converted with to_py unless it already is a PyObject* (void gives None).
#ifndef TESSARIN_PYTHON_BIND_OBJECT_H_
#define TESSARIN_PYTHON_BIND_OBJECT_H_

#include <Python.h>

#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "bind/access.h"
#include "bind/args.h"
#include "bind/convert.h"
#include "bind/errors.h"
#include "bind/signature.h"

namespace tessarin::bind {

template <class T>
struct Object {
  PyObject_HEAD
  AccessFlag access;
  T value;
};

// The registered Python class of T. Set when the module executes.
template <class T>
struct Class {
  static inline PyTypeObject* type = nullptr;
  static inline const char* name = nullptr;  // short name, for messages
};

template <class T>
Object<T>* object_of(PyObject* self) {
  return reinterpret_cast<Object<T>*>(self);
}

template <class T>
bool is_instance(PyObject* obj) {
  return Class<T>::type != nullptr && PyObject_TypeCheck(obj, Class<T>::type);
}

// A new Python object of T's class holding a value built from `args`.
template <class T, class... A>
PyObject* wrap(A&&... args) {
  PyTypeObject* type = Class<T>::type;
  PyObject* obj = check(type->tp_alloc(type, 0));
  Object<T>* o = object_of<T>(obj);
  try {
    new (&o->value) T(std::forward<A>(args)...);
  } catch (...) {
    type->tp_free(obj);  // the value was never built: skip the destructor
    Py_DECREF(type);
    throw;
  }
  new (&o->access) AccessFlag();
  return obj;
}

// A new list of T objects, one per element of `items`.
template <class T, class Range>
PyObject* wrap_list(const Range& items) {
  return list_of(items, [](const auto& item) { return wrap<T>(item); });
}

namespace detail {

template <class F>
struct FunctionTraits : FunctionTraits<decltype(&F::operator())> {};
template <class... A>
struct FirstOf {
  using type = void;
};
template <class A0, class... A>
struct FirstOf<A0, A...> {
  using type = A0;
};
template <class R, class... A>
struct FunctionTraits<R (*)(A...)> {
  using First = typename FirstOf<A...>::type;
  static constexpr size_t arity = sizeof...(A);
};
template <class C, class R, class... A>
struct FunctionTraits<R (C::*)(A...) const> : FunctionTraits<R (*)(A...)> {};

template <auto Fn>
using First = typename FunctionTraits<decltype(Fn)>::First;
template <auto Fn>
using SelfType = std::remove_cvref_t<First<Fn>>;
template <auto Fn>
inline constexpr Access kAccessOf =
    std::is_const_v<std::remove_reference_t<First<Fn>>> ? Access::kShared : Access::kExclusive;

// Converts a binding's result into a new reference.
template <class F>
PyObject* result_of(F&& call) {
  using R = decltype(call());
  if constexpr (std::is_void_v<R>) {
    call();
    return none();
  } else if constexpr (std::is_same_v<R, PyObject*>) {
    return call();
  } else {
    return to_py(call());
  }
}

template <auto Fn, class Self>
PyObject* invoke_method(Self& self, const Args& a) {
  if constexpr (FunctionTraits<decltype(Fn)>::arity == 2) {
    return result_of([&] { return Fn(self, a); });
  } else {
    return result_of([&] { return Fn(self); });
  }
}

template <const char* Sig, auto Fn>
PyObject* method_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  using T = SelfType<Fn>;
  return guarded([&]() -> PyObject* {
    const Args a(kSignature<Sig>, Class<T>::name, args, nargs, kwnames);
    Object<T>* obj = object_of<T>(self);
    // Access is taken before any argument is converted: a conversion may run
    // Python code (__index__, __float__) that calls back into this object.
    AccessGuard<kAccessOf<Fn>> guard(obj->access);
    if constexpr (kAccessOf<Fn> == Access::kShared) {
      return invoke_method<Fn>(std::as_const(obj->value), a);
    } else {
      return invoke_method<Fn>(obj->value, a);
    }
  });
}

template <const char* Sig, auto Fn>
PyObject* function_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    const Args a(kSignature<Sig>, nullptr, args, nargs, kwnames);
    if constexpr (FunctionTraits<decltype(Fn)>::arity == 1) {
      return result_of([&] { return Fn(a); });
    } else {
      return result_of([&] { return Fn(); });
    }
  });
}

template <class E>
PyCFunction as_cfunction(E entry) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

template <auto Fn>
PyObject* getter_entry(PyObject* self, void*) {
  using T = SelfType<Fn>;
  return guarded([&]() -> PyObject* {
    Object<T>* obj = object_of<T>(self);
    AccessGuard<Access::kShared> guard(obj->access);
    return result_of([&] { return Fn(std::as_const(obj->value)); });
  });
}

template <auto Fn>
PyObject* repr_entry(PyObject* self) {
  using T = SelfType<Fn>;
  return guarded([&]() -> PyObject* {
    Object<T>* obj = object_of<T>(self);
    AccessGuard<Access::kShared> guard(obj->access);
    return to_py(Fn(std::as_const(obj->value)));
  });
}

template <class T, const char* Sig, auto Make>
PyObject* constructor_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    const Args a(kSignature<Sig>, nullptr, args, kwargs);
    PyObject* obj = check(type->tp_alloc(type, 0));
    Object<T>* o = object_of<T>(obj);
    try {
      if constexpr (FunctionTraits<decltype(Make)>::arity == 1) {
        new (&o->value) T(Make(a));
      } else {
        new (&o->value) T(Make());
      }
    } catch (...) {
      type->tp_free(obj);
      Py_DECREF(type);
      throw;
    }
    new (&o->access) AccessFlag();
    return obj;
  });
}

template <class T>
void dealloc_entry(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  object_of<T>(self)->value.~T();
  type->tp_free(self);
  Py_DECREF(type);  // instances of heap types own a reference to their type
}

}  // namespace detail

// ---- declarations used in method, getset and function tables ----------------------

// A method declared by its text signature; the first parameter's constness of
// Fn selects shared or exclusive access.
template <const char* Sig, auto Fn, const char* Doc = kNoDoc>
constexpr PyMethodDef method() {
  return {kFunctionName<Sig>.c_str(), detail::as_cfunction(&detail::method_entry<Sig, Fn>),
          METH_FASTCALL | METH_KEYWORDS, kDocString<Sig, Doc>.c_str()};
}

// A static method (called on the class) or a module-level function: Fn takes
// `const Args&` or nothing.
template <const char* Sig, auto Fn, const char* Doc = kNoDoc>
constexpr PyMethodDef static_method() {
  return {kFunctionName<Sig>.c_str(), detail::as_cfunction(&detail::function_entry<Sig, Fn>),
          METH_FASTCALL | METH_KEYWORDS | METH_STATIC, kDocString<Sig, Doc>.c_str()};
}

template <const char* Sig, auto Fn, const char* Doc = kNoDoc>
constexpr PyMethodDef function() {
  return {kFunctionName<Sig>.c_str(), detail::as_cfunction(&detail::function_entry<Sig, Fn>),
          METH_FASTCALL | METH_KEYWORDS, kDocString<Sig, Doc>.c_str()};
}

// A read-only attribute computed from the held value (shared access).
template <auto Fn>
constexpr PyGetSetDef getter(const char* name, const char* doc = nullptr) {
  return {name, &detail::getter_entry<Fn>, nullptr, doc, nullptr};
}

template <auto Fn>
constexpr reprfunc repr() {
  return &detail::repr_entry<Fn>;
}

// A Python constructor: Make builds the value from the bound arguments.
template <class T, const char* Sig, auto Make>
constexpr newfunc constructor() {
  return &detail::constructor_entry<T, Sig, Make>;
}

inline constexpr PyMethodDef kEndMethods = {nullptr, nullptr, 0, nullptr};
inline constexpr PyGetSetDef kEndGetSet = {nullptr, nullptr, nullptr, nullptr, nullptr};

struct ClassSpec {
  const char* qualified_name;  // "tessarin.Exchange"; a string literal
  const char* doc = nullptr;   // may begin with "Name(sig)\n--\n\n" for the constructor
  PyMethodDef* methods = nullptr;
  PyGetSetDef* getset = nullptr;
  reprfunc repr = nullptr;
  newfunc constructor = nullptr;  // none: the class cannot be instantiated from Python
};

// Creates T's class for `module` and adds it as a module attribute.
// Returns 0, or -1 with a Python error set.
int add_class_impl(PyObject* module, const ClassSpec& spec, Py_ssize_t basicsize, destructor dealloc,
                   PyTypeObject** type_slot, const char** name_slot);

template <class T>
int add_class(PyObject* module, const ClassSpec& spec) {
  return add_class_impl(module, spec, sizeof(Object<T>), &detail::dealloc_entry<T>, &Class<T>::type,
                        &Class<T>::name);
}

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_OBJECT_H_

#include "bind/object.h"

#include <cstring>
#include <vector>

namespace tessarin::bind {

int add_class_impl(PyObject* module, const ClassSpec& spec, Py_ssize_t basicsize, destructor dealloc,
                   PyTypeObject** type_slot, const char** name_slot) {
  std::vector<PyType_Slot> slots;
  slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(dealloc)});
  if (spec.doc != nullptr) slots.push_back({Py_tp_doc, const_cast<char*>(spec.doc)});
  if (spec.methods != nullptr) slots.push_back({Py_tp_methods, spec.methods});
  if (spec.getset != nullptr) slots.push_back({Py_tp_getset, spec.getset});
  if (spec.repr != nullptr) slots.push_back({Py_tp_repr, reinterpret_cast<void*>(spec.repr)});
  if (spec.constructor != nullptr) slots.push_back({Py_tp_new, reinterpret_cast<void*>(spec.constructor)});
  slots.push_back({0, nullptr});

  unsigned int flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
  if (spec.constructor == nullptr) flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
  PyType_Spec type_spec = {spec.qualified_name, static_cast<int>(basicsize), 0, flags, slots.data()};

  PyObject* type = PyType_FromModuleAndSpec(module, &type_spec, nullptr);
  if (type == nullptr) return -1;
  const char* dot = std::strrchr(spec.qualified_name, '.');
  const char* short_name = dot != nullptr ? dot + 1 : spec.qualified_name;
  if (PyModule_AddObjectRef(module, short_name, type) < 0) {
    Py_DECREF(type);
    return -1;
  }
  // The module may execute again (a fresh import after removal from sys.modules):
  // the newest class is the one new objects get.
  PyTypeObject* previous = *type_slot;
  *type_slot = reinterpret_cast<PyTypeObject*>(type);
  *name_slot = short_name;
  Py_XDECREF(previous);
  return 0;
}

}  // namespace tessarin::bind

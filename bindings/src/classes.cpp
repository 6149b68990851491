#include "vok/py/classes.hpp"

#include <memory>
#include <string>

#include "vok/abort.hpp"
#include "vok/abort_locations.hpp"
#include "vok/py/errors.hpp"
#include "vok/py/guard.hpp"

namespace vok::py {
namespace {

// The get function of every descriptor; the closure is its AttributeSpec.
PyObject* read_attribute(PyObject* self, void* closure) {
  const auto* attribute = static_cast<const AttributeSpec*>(closure);
  return guarded([&] { return attribute->read(self); });
}

// Callers rely on this exact text.
constexpr const char* kNoConstructor = "No constructor defined";

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, kNoConstructor);
  return nullptr;
}

// The class's allocation slot refuses too. Python code may replace a class's
// __new__ with one that calls object.__new__, which allocates through this
// slot; it must not get an instance whose record was never made. The
// module's own instances are allocated by `new_instance`, which does not go
// through the slot.
PyObject* no_allocation(PyTypeObject*, Py_ssize_t) {
  PyErr_SetString(PyExc_TypeError, kNoConstructor);
  return nullptr;
}

// Never freed: see ClassCell.
PyGetSetDef* make_getset_table(std::span<const AttributeSpec> attributes) {
  auto table = std::make_unique<PyGetSetDef[]>(attributes.size() + 1);  // zeroed: the end mark
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    table[i].name = attributes[i].name;
    table[i].get = read_attribute;
    table[i].set = nullptr;
    // An empty doc, not none: the descriptors' __doc__ is then ''.
    table[i].doc = "";
    table[i].closure = const_cast<AttributeSpec*>(&attributes[i]);
  }
  return table.release();
}

// Null with the build's error pending on failure.
Object build_class(const ClassSpec& spec, PyGetSetDef* getset) {
  PyType_Slot slots[] = {
      {Py_tp_repr, reinterpret_cast<void*>(spec.repr)},
      {Py_tp_getset, getset},
      {Py_tp_base, &PyBaseObject_Type},
      {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
      {Py_tp_alloc, reinterpret_cast<void*>(no_allocation)},
      {Py_tp_dealloc, reinterpret_cast<void*>(spec.dealloc)},
      {0, nullptr},
  };
  PyType_Spec type_spec{spec.type_name, spec.basic_size, 0, Py_TPFLAGS_DEFAULT, slots};
  return Object::steal(PyType_FromSpec(&type_spec));
}

[[noreturn]] void report_failed_build(const ClassSpec& spec) {
  Object cause = take_raised_exception_or_system_error();
  std::string message = std::string("An error occurred while initializing class ") + spec.name;
  Object error = Object::steal(PyObject_CallFunction(PyExc_RuntimeError, "s", message.c_str()));
  if (error) {
    PyException_SetCause(error.get(), cause.release());
    restore_raised_exception(std::move(error));
  }
  // Prints the cause first, then the RuntimeError, as for an unhandled one.
  PyErr_PrintEx(0);
  abort_call(abort_locations::kClassBuildFailed,
             std::string("failed to create type object for ") + spec.name);
}

}  // namespace

PyTypeObject* class_object(const ClassSpec& spec, ClassCell& cell) {
  if (cell.type != nullptr) return cell.type;
  if (cell.getset == nullptr) cell.getset = make_getset_table(spec.attributes);
  Object built = build_class(spec, cell.getset);
  if (!built) report_failed_build(spec);
  // Building runs interpreter code, which may have built the class meanwhile;
  // the first one stored stays.
  if (cell.type == nullptr) cell.type = reinterpret_cast<PyTypeObject*>(built.release());
  return cell.type;
}

}  // namespace vok::py

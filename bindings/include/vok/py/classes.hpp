// The Python classes of the thirteen records.
//
// Every class is described by one `ClassSpec` (name, attribute table, repr,
// release entry) and built from it by one builder the first time it is
// needed. An instance is the object header, the record held by value, and a
// counter of reads in progress. The record is copied or moved into place
// behind the header once the instance is allocated, and never changes
// afterwards, so every read can hand out a copy without locking.
#pragma once

#include "vok/py/object.hpp"

#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>

#include "vok/abort.hpp"
#include "vok/data/records.hpp"

namespace vok::py {

template <class Record>
struct Instance {
  PyObject header;
  Record record;
  std::int64_t borrow_count;  // reads in progress; -1 would mean taken for writing
};

template <class Record>
Instance<Record>* instance_cast(PyObject* object) noexcept {
  return reinterpret_cast<Instance<Record>*>(object);
}

// One read-only attribute: its name and the function that reads it. The
// function is only ever called with an instance of the attribute's class
// already checked by the attribute machinery, but checks again anyway.
struct AttributeSpec {
  const char* name;
  Object (*read)(PyObject* self);
};

struct ClassSpec {
  const char* name;       // "VokModule"
  const char* type_name;  // "builtins.VokModule"
  int basic_size;
  std::span<const AttributeSpec> attributes;
  reprfunc repr;
  destructor dealloc;
  // Where the abort report points when an instance cannot be allocated.
  AbortLocation allocation_abort;
};

// What the builder keeps of a class for the rest of the process.
struct ClassCell {
  PyTypeObject* type = nullptr;
  // The class and its attribute descriptors point into this table, so it is
  // made once, before the first attempt to build the class, and never freed.
  PyGetSetDef* getset = nullptr;
};
// A cell is a function-local static. One with a destructor would be
// destroyed by exit() while the class lives on: an application that
// finalizes the interpreter from its own atexit handler, registered before
// the cell was made, runs Python code after the cell is gone.
static_assert(std::is_trivially_destructible_v<ClassCell>);

// Returns the class of `cell`, building it from `spec` if it is not built.
// A failed build prints the reason and aborts the call; the next use of the
// class tries again.
PyTypeObject* class_object(const ClassSpec& spec, ClassCell& cell);

template <class T, class... Ts>
inline constexpr bool is_one_of = (std::is_same_v<T, Ts> || ...);

template <class T>
concept Record = is_one_of<T, VokModule, Namespace, Import, DataType, Enum, EnumValue, Service,
                           Dependency, Function, Event, TypeName, Attribute, Parameter>;

// The description of each record's class, defined beside its attributes.
template <Record R>
const ClassSpec& class_spec();
template <> const ClassSpec& class_spec<VokModule>();
template <> const ClassSpec& class_spec<Namespace>();
template <> const ClassSpec& class_spec<Import>();
template <> const ClassSpec& class_spec<DataType>();
template <> const ClassSpec& class_spec<Enum>();
template <> const ClassSpec& class_spec<EnumValue>();
template <> const ClassSpec& class_spec<Service>();
template <> const ClassSpec& class_spec<Dependency>();
template <> const ClassSpec& class_spec<Function>();
template <> const ClassSpec& class_spec<Event>();
template <> const ClassSpec& class_spec<TypeName>();
template <> const ClassSpec& class_spec<Attribute>();
template <> const ClassSpec& class_spec<Parameter>();

// The class of record type R; borrowed, valid until the process ends.
template <Record R>
PyTypeObject* type_object() {
  static ClassCell cell;
  return cell.type != nullptr ? cell.type : class_object(class_spec<R>(), cell);
}

// A new instance that owns a record made from `source` (a copy of a record,
// or a record moved in), or null with the allocation's error pending.
//
// This is the only way an instance comes to be: the class's own allocation
// slot refuses, so object.__new__ cannot make one that lacks a record, and
// the memory is allocated here directly.
//
// The release entry destroys the record of every instance, so the storage
// must hold a whole record whenever the instance can be released. A copy
// that fails part-way (out of memory) has already undone itself; an empty
// record, whose making cannot fail, takes its place before the failure goes
// on and the instance is released the usual way.
template <Record R, class Source>
Object new_instance(Source&& source) {
  static_assert(std::is_nothrow_default_constructible_v<R>);
  PyTypeObject* type = type_object<R>();
  Object object = Object::steal(PyType_GenericAlloc(type, 0));
  if (!object) return object;
  Instance<R>* instance = instance_cast<R>(object.get());
  instance->borrow_count = 0;
  try {
    std::construct_at(&instance->record, std::forward<Source>(source));
  } catch (...) {
    std::construct_at(&instance->record);
    throw;
  }
  return object;
}

// The release entry of every class: the record goes first, then the memory,
// then the reference to the class that the allocation took.
template <Record R>
void dealloc_instance(PyObject* self) {
  std::destroy_at(&instance_cast<R>(self)->record);
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Object::drop_with_lock_held(reinterpret_cast<PyObject*>(type));
}

}  // namespace vok::py

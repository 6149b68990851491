// Record values into new Python values.
//
// Every `into_py` reads its value in place and returns one new reference;
// nothing is copied on the way but the records themselves. A record is
// copied once, straight into the new object that then owns it, so nothing
// returned refers into the object the value was read from, and holding it
// keeps nothing else alive. A failed interpreter constructor aborts the call
// (see errors.hpp); a record object that cannot be allocated aborts it too,
// naming the record's class.
//
// Only the top level becomes Python objects: a record goes whole into its
// new object and its own lists wait there until they are read.
#pragma once

#include "vok/py/classes.hpp"
#include "vok/py/errors.hpp"
#include "vok/py/object.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vok/data/records.hpp"

namespace vok::py {

Object into_py(const std::string& text);
Object into_py(bool value);
Object into_py(std::uint64_t value);
Object into_py(std::int64_t value);
template <Record R>
Object into_py(const R& record);
template <class T>
Object into_py(const std::optional<T>& value);
template <Record R>
Object into_py(const Named<R>& member);
template <class T>
Object into_py(const std::vector<T>& elements);

// Aborts the call after `new_instance` failed for the class of `spec`.
[[noreturn]] void abort_failed_allocation(const ClassSpec& spec);

// The object of record type R made from `source`, or an abort.
template <Record R, class Source>
Object record_object(Source&& source) {
  Object object = new_instance<R>(std::forward<Source>(source));
  if (!object) abort_failed_allocation(class_spec<R>());
  return object;
}

// The object of a record that the caller gives up (the module that a parse
// returns): the record moves in whole, nothing is copied.
template <Record R>
Object into_py_moving(R&& record) {
  return record_object<R>(std::move(record));
}

template <Record R>
Object into_py(const R& record) {
  return record_object<R>(record);
}

template <class T>
Object into_py(const std::optional<T>& value) {
  if (!value) return Object::borrow(Py_None);
  return into_py(*value);
}

// A (name, object) 2-tuple; the name's str is made before the object.
template <Record R>
Object into_py(const Named<R>& member) {
  Object name = into_py(member.first);
  Object object = into_py(member.second);
  Object pair = checked(PyTuple_New(2));
  PyTuple_SET_ITEM(pair.get(), 0, name.release());
  PyTuple_SET_ITEM(pair.get(), 1, object.release());
  return pair;
}

// Made at its final length and filled by index: an abort part-way leaves
// empty slots, which the list's release skips.
//
// Until every slot holds its item the list is kept out of the collector's
// sight. Python code can run while the items are made: a collection inside
// an allocation (CPython 3.11) with its callbacks and finalizers, or the
// hooks that print the error before an abort. Through gc.get_objects() any
// of them would find a tracked list, empty slots and all. An empty list is
// whole as it is made.
template <class T>
Object into_py(const std::vector<T>& elements) {
  Object list = checked(PyList_New(static_cast<Py_ssize_t>(elements.size())));
  if (elements.empty()) return list;
  PyObject_GC_UnTrack(list.get());
  for (std::size_t i = 0; i < elements.size(); ++i) {
    Object item = into_py(elements[i]);
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item.release());
  }
  PyObject_GC_Track(list.get());
  return list;
}

}  // namespace vok::py

// Test helper: an interpreter embedded in a GoogleTest executable, with
// py_vok built in, and what the tests read off its exceptions.
#pragma once

#include "vok/py/object.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" PyObject* PyInit_py_vok();

namespace vok::py::embedded {

// Starts the interpreter unless it runs; `import py_vok` then finds the
// module compiled into the test. The module can be initialised by one
// interpreter per process only, so a suite that imports it never finalises
// its interpreter: the next round of the suite (--gtest_repeat) could not
// import it again. Only the tests of an interpreter's end do, each in a
// process of its own.
inline void start_interpreter() {
  if (Py_IsInitialized()) return;
  if (PyImport_AppendInittab("py_vok", PyInit_py_vok) < 0) FAIL() << "no room for py_vok";
  Py_Initialize();
}

// The UTF-8 of a str, or a placeholder (the error dropped) for anything else.
inline std::string text_of(PyObject* text) {
  const char* utf8 = text == nullptr ? nullptr : PyUnicode_AsUTF8(text);
  if (utf8 == nullptr) {
    PyErr_Clear();
    return "<not a str>";
  }
  return utf8;
}

// "module.qualname" of a class.
inline std::string full_name(PyObject* type) {
  Object module = Object::steal(PyObject_GetAttrString(type, "__module__"));
  Object qualname = Object::steal(PyObject_GetAttrString(type, "__qualname__"));
  return text_of(module.get()) + "." + text_of(qualname.get());
}

inline std::string type_name_of(PyObject* object) {
  return full_name(reinterpret_cast<PyObject*>(Py_TYPE(object)));
}

// The args of an exception, each as text.
inline std::vector<std::string> string_args(PyObject* exception) {
  std::vector<std::string> texts;
  Object args = Object::steal(PyObject_GetAttrString(exception, "args"));
  if (!args || !PyTuple_Check(args.get())) {
    ADD_FAILURE() << "exception without an args tuple";
    PyErr_Clear();
    return texts;
  }
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(args.get()); ++i) {
    texts.push_back(text_of(PyTuple_GET_ITEM(args.get(), i)));
  }
  return texts;
}

}  // namespace vok::py::embedded

#include "vok/py/guard.hpp"

#include "vok/py/errors.hpp"

namespace vok::py {
namespace {

// Made on the first abort and kept for the life of the process.
PyObject* panic_exception_type = nullptr;

constexpr const char panic_exception_doc[] =
    "Raised when the native code of py_vok aborts a call, for instance on a\n"
    "duplicate name in a definition text.\n"
    "\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so\n"
    "that an ordinary `except Exception` handler lets it pass and it normally\n"
    "travels up to the top of the program.";

PyObject* panic_type() {
  if (panic_exception_type != nullptr) return panic_exception_type;
  Object made = Object::steal(PyErr_NewExceptionWithDoc(
      "pyo3_runtime.PanicException", panic_exception_doc, PyExc_BaseException, nullptr));
  if (!made) return nullptr;
  // Making the class can run a collection (CPython 3.11), and a callback of
  // it may abort a call of its own and so make the class first. One class
  // for the process: the first one stored stays.
  if (panic_exception_type == nullptr) panic_exception_type = made.release();
  return panic_exception_type;
}

}  // namespace

void raise_panic(std::string_view message) {
  PyObject* type = panic_type();
  if (type == nullptr) return;  // the failed type creation is the pending error
  Object text = Object::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (!text) return;
  Object exception = Object::steal(PyObject_CallOneArg(type, text.get()));
  if (!exception) return;
  // The class is mutable, so a replaced __new__ can return anything. What is
  // no exception is refused the way the interpreter refuses it when it raises
  // by class and value, in its words (tests pin them).
  if (!PyExceptionInstance_Check(exception.get())) {
    PyErr_Format(PyExc_TypeError,
                 "calling %R should have returned an instance of BaseException, not %s", type,
                 Py_TYPE(exception.get())->tp_name);
    return;
  }
  restore_raised_exception(std::move(exception));
}

}  // namespace vok::py

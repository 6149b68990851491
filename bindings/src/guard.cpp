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
  if (panic_exception_type == nullptr) {
    panic_exception_type = PyErr_NewExceptionWithDoc(
        "pyo3_runtime.PanicException", panic_exception_doc, PyExc_BaseException, nullptr);
  }
  return panic_exception_type;
}

}  // namespace

void raise_panic(std::string_view message) noexcept {
  PyObject* type = panic_type();
  if (type == nullptr) return;  // the failed type creation is the pending error
  Object text = Object::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (!text) return;
  Object exception = Object::steal(PyObject_CallOneArg(type, text.get()));
  if (!exception) return;
  restore_raised_exception(std::move(exception));
}

}  // namespace vok::py

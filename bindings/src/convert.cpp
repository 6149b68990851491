#include "vok/py/convert.hpp"

#include "vok/abort.hpp"

namespace vok::py {

Object into_py(const std::string& text) {
  return checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

Object into_py(bool value) { return Object::borrow(value ? Py_True : Py_False); }

Object into_py(std::uint64_t value) {
  return checked(PyLong_FromUnsignedLongLong(static_cast<unsigned long long>(value)));
}

Object into_py(std::int64_t value) {
  return checked(PyLong_FromLongLong(static_cast<long long>(value)));
}

void abort_failed_allocation(const ClassSpec& spec) {
  Object error = take_raised_exception_or_system_error();
  if (!error) {
    abort_call(spec.allocation_abort, "a result held an error where a value was required");
  }
  std::string message = "a result held an error where a value was required: PyErr { type: ";
  message += repr_text(reinterpret_cast<PyObject*>(Py_TYPE(error.get())));
  message += ", value: ";
  message += repr_text(error.get());
  message += ", traceback: ";
  Object traceback = Object::steal(PyException_GetTraceback(error.get()));
  if (traceback) {
    message += "Some(";
    message += repr_text(traceback.get());
    message += ")";
  } else {
    message += "None";
  }
  message += " }";
  error = Object();
  abort_call(spec.allocation_abort, std::move(message));
}

}  // namespace vok::py

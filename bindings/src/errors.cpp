#include "vok/py/errors.hpp"

#include "vok/abort.hpp"
#include "vok/abort_locations.hpp"

namespace vok::py {

Object take_raised_exception() {
#if PY_VERSION_HEX >= 0x030C0000
  return Object::steal(PyErr_GetRaisedException());
#else
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  if (type == nullptr) return {};
  PyErr_NormalizeException(&type, &value, &traceback);
  Object owned_type = Object::steal(type);
  Object owned_value = Object::steal(value);
  Object owned_traceback = Object::steal(traceback);
  if (owned_traceback) PyException_SetTraceback(owned_value.get(), owned_traceback.get());
  return owned_value;
#endif
}

Object take_raised_exception_or_system_error() {
  Object exception = take_raised_exception();
  if (exception) return exception;
  PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
  return take_raised_exception();
}

void restore_raised_exception(Object exception) {
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exception.release());
#else
  if (!exception) return;
  Object type = Object::borrow(reinterpret_cast<PyObject*>(Py_TYPE(exception.get())));
  PyObject* traceback = PyException_GetTraceback(exception.get());
  PyErr_Restore(type.release(), exception.release(), traceback);
#endif
}

void raise_conversion_error(PyObject* value, const char* target, const char* prefix) {
  Object qualname = Object::steal(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__qualname__"));
  if (qualname && PyUnicode_Check(qualname.get())) {
    PyErr_Format(PyExc_TypeError, "%s'%U' object cannot be converted to '%s'", prefix,
                 qualname.get(), target);
  } else {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError,
                 "%s'<failed to extract type name>' object cannot be converted to '%s'", prefix,
                 target);
  }
}

std::string repr_text(PyObject* object) {
  Object text = Object::steal(PyObject_Repr(object));
  Py_ssize_t size = 0;
  const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
  if (utf8 == nullptr) {
    PyErr_Clear();
    return "<repr failed>";
  }
  return std::string(utf8, static_cast<std::size_t>(size));
}

void abort_python_api_failed() {
  PyErr_Print();
  abort_call(abort_locations::kPythonApiFailed, "Python API call failed");
}

}  // namespace vok::py

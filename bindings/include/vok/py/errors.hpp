// Python errors as values, and the errors the binding raises itself.
#pragma once

#include "vok/py/object.hpp"

#include <string>

namespace vok::py {

// Takes the pending exception out of the interpreter as one normalised
// exception object (its traceback attached), leaving no error pending.
// Null when nothing was pending.
Object take_raised_exception();

// Like `take_raised_exception`, but a missing exception becomes a
// SystemError, so a failed call always yields something to report.
Object take_raised_exception_or_system_error();

// Makes `exception` (an exception instance) the pending exception.
void restore_raised_exception(Object exception);

// Raises TypeError "<prefix>'<T>' object cannot be converted to '<target>'",
// T being the `__qualname__` of the type of `value`.
void raise_conversion_error(PyObject* value, const char* target, const char* prefix = "");

// `repr(object)` as UTF-8, or a placeholder when repr itself fails (the
// failure is dropped: this text only goes into reports).
std::string repr_text(PyObject* object);

// For a constructor of the interpreter (str, int, list, tuple) that returned
// null: prints the pending error and aborts the call.
[[noreturn]] void abort_python_api_failed();

// Checks the result of such a constructor: returns it owned, or aborts.
inline Object checked(PyObject* made) {
  if (made == nullptr) abort_python_api_failed();
  return Object::steal(made);
}

}  // namespace vok::py

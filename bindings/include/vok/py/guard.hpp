// The entry guard: every way in from the interpreter (module init, the three
// functions, attribute getters, repr) runs its body through `guarded`.
//
// No C++ exception may unwind into the interpreter's C frames. The guard
// turns an aborted call (vok::CallAborted, whose report is already on fd 2)
// into pyo3_runtime.PanicException carrying the abort message, and a failed
// allocation into MemoryError, so neither takes the process down.
#pragma once

#include "vok/py/object.hpp"

#include <exception>
#include <new>
#include <string_view>

#include "vok/abort.hpp"

namespace vok::py {

// Counts the nested entries of the current thread for as long as it lives.
class EntryScope {
 public:
  EntryScope() noexcept;
  ~EntryScope();
  EntryScope(const EntryScope&) = delete;
  EntryScope& operator=(const EntryScope&) = delete;

  // Entries of the current thread that have not returned yet.
  static long depth() noexcept;
};

// Raises pyo3_runtime.PanicException(message), creating the type on first
// need. It derives from BaseException so `except Exception` lets it pass.
void raise_panic(std::string_view message) noexcept;

// Runs `body` (returning an Object: owned result, or null with a Python
// error pending) and hands the result to the interpreter.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  EntryScope entry;
  try {
    return body().release();
  } catch (const CallAborted& aborted) {
    raise_panic(aborted.message());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& unexpected) {
    PyErr_SetString(PyExc_SystemError, unexpected.what());
  }
  return nullptr;
}

}  // namespace vok::py

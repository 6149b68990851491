// The entry guard: every way in from the interpreter (module init, the three
// functions, attribute getters, repr) runs its body through `guarded`.
//
// No C++ exception may unwind into the interpreter's C frames. The guard
// turns an aborted call (vok::CallAborted, whose report is already on fd 2)
// into pyo3_runtime.PanicException carrying the abort message, and a failed
// allocation into MemoryError, so neither takes the process down.
//
// The one unwind that passes is the forced one (abi::__forced_unwind) by
// which CPython, at exit, ends a daemon thread that wants the interpreter
// lock back: it must reach the thread's start, and nothing on the way may be
// noexcept, or the runtime calls std::terminate. Python code can run inside
// the body and inside the handlers below, so neither this function nor any
// function that calls into Python is noexcept.
//
// The guard keeps no per-thread state: a thread's first touch of thread-local
// storage allocates it, and when that allocation fails the process ends
// before any handler here could raise MemoryError.
#pragma once

#include "vok/py/object.hpp"

#include <cxxabi.h>

#include <exception>
#include <new>
#include <string_view>

#include "vok/abort.hpp"

namespace vok::py {

// Raises pyo3_runtime.PanicException(message), creating the type on first
// need. It derives from BaseException so `except Exception` lets it pass.
void raise_panic(std::string_view message);

// Runs `body` (returning an Object: owned result, or null with a Python
// error pending) and hands the result to the interpreter.
//
// The C++ runtime hands a forced unwind to its handler as a null object,
// which the sanitizer's null check reports; the handler never touches it.
template <class Body>
[[gnu::no_sanitize("null")]] PyObject* guarded(Body&& body) {
  try {
    return body().release();
  } catch (const abi::__forced_unwind&) {
    throw;
  } catch (const CallAborted& aborted) {
    raise_panic(aborted.message());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& unexpected) {
    PyErr_SetString(PyExc_SystemError, unexpected.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "py_vok: a call ended in an unknown C++ exception");
  }
  return nullptr;
}

}  // namespace vok::py

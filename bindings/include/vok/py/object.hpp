// The one owning reference to a Python object.
//
// Ownership is said where a reference enters: `steal` takes over a reference
// that the caller owns (what the C API's "new reference" calls return),
// `borrow` adds one of its own to a reference that someone else keeps.
// `release` hands the reference on without touching the count. This is the
// only place in the binding that changes reference counts by hand.
//
// Dropping a reference may run Python code (a finalizer, a weak reference's
// callback), and Python code may end the thread: at exit CPython ends a
// daemon thread that wants the interpreter lock back by unwinding its stack
// (abi::__forced_unwind). That unwind must be able to leave a destructor, so
// the destructor is not noexcept. While it unwinds, the thread does not hold
// the lock and must not touch a reference count; what it held then stays
// held and ends with the thread, as the thread's own Python frames do.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <utility>

namespace vok::py {

// Set at the end of Py_FinalizeEx of the interpreter that made the module
// (module.cpp registers the setter with Py_AtExit). From then on nothing of
// that interpreter is handed out, and no count of its objects is changed.
inline std::atomic<bool> module_interpreter_finalized{false};

class Object {
 public:
  Object() noexcept = default;

  // Takes over `object` (which may be null, the usual sign of a failed call).
  static Object steal(PyObject* object) noexcept { return Object(object); }
  // Keeps `object` alive beside its present owner.
  static Object borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return Object(object);
  }

  Object(Object&& other) noexcept : object_(other.release()) {}
  Object& operator=(Object&& other) noexcept(false) {
    if (this != &other) {
      Object dropped(std::exchange(object_, other.release()));
    }
    return *this;
  }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  ~Object() noexcept(false) {
    if (object_ != nullptr) drop(object_);
  }

  // Drops `object` now, for code that the interpreter runs with its lock
  // held by definition (a class's release entry), where the destructor's
  // check could only say yes.
  static void drop_with_lock_held(PyObject* object) { Py_DECREF(object); }

  PyObject* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  // Gives up ownership; the caller now owns the reference.
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }

 private:
  explicit Object(PyObject* object) noexcept : object_(object) {}

  // Out of line: most Objects have handed their reference on when they go,
  // and the read path stays small.
  [[gnu::noinline]] static void drop(PyObject* object) {
    if (holds_interpreter_lock()) Py_DECREF(object);
  }

  static bool holds_interpreter_lock() {
#if PY_VERSION_HEX >= 0x030D0000
    return PyThreadState_GetUnchecked() != nullptr;  // the thread's attached state
#elif PY_VERSION_HEX >= 0x030C0000
    return _PyThreadState_UncheckedGet() != nullptr;
#else
    // 3.11 has no exact answer: PyGILState_Check answers for a thread's
    // first state only (and yes on every thread once a sub-interpreter has
    // existed or finalization has ended), and a state's thread_id names the
    // thread that made it, not the one using it. The module's code holds the
    // lock except in a thread that CPython is ending, which happens only from
    // the start of finalization on: while the runtime finalizes, and after
    // the module's interpreter ended (a later Py_Initialize makes the runtime
    // "not finalizing" again). Both answer no, and what the module would drop
    // then stays held until the process ends. The runtime is read before the
    // mark: a thread that finds it not finalizing because a new interpreter
    // started then also finds the mark, which was set before that start.
    if (_Py_IsFinalizing()) return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    return !module_interpreter_finalized.load(std::memory_order_relaxed);
#endif
  }

  PyObject* object_ = nullptr;
};

}  // namespace vok::py

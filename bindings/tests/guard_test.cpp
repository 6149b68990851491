// The entry guard's way out of each kind of body, inside an embedded
// interpreter: what the caller gets back and what error is left pending.
#include "vok/py/guard.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "case_names.hpp"
#include "embedded_python.hpp"
#include "vok/abort.hpp"
#include "vok/py/errors.hpp"

namespace vok::py {
namespace {

struct GuardCase {
  const char* label;
  // Gets an object that the test keeps; a body that returns normally hands
  // it back.
  std::function<Object(PyObject*)> body;
  // "module.qualname" of the error's type, or null when the value must come
  // back untouched.
  const char* error_type;
  bool error_is_exception;  // an Exception, not only a BaseException
  std::vector<std::string> error_args;
};

void PrintTo(const GuardCase& row, std::ostream* out) { *out << row.label; }

class Guarded : public ::testing::TestWithParam<GuardCase> {
 protected:
  static void SetUpTestSuite() { embedded::start_interpreter(); }
};

TEST_P(Guarded, HandsOnTheResultOrOneError) {
  const GuardCase& row = GetParam();
  Object value = Object::steal(PyUnicode_FromString("value"));
  ASSERT_TRUE(value);
  const Py_ssize_t references = Py_REFCNT(value.get());

  Object result = Object::steal(guarded([&] { return row.body(value.get()); }));
  Object error = take_raised_exception();

  if (row.error_type == nullptr) {
    EXPECT_EQ(result.get(), value.get());
    EXPECT_EQ(Py_REFCNT(value.get()), references + 1);
    EXPECT_FALSE(error);
    return;
  }
  EXPECT_FALSE(result);
  ASSERT_TRUE(error);
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(error.get()));
  EXPECT_EQ(embedded::full_name(type), row.error_type);
  EXPECT_EQ(PyObject_IsSubclass(type, PyExc_BaseException), 1);
  EXPECT_EQ(PyObject_IsSubclass(type, PyExc_Exception), row.error_is_exception ? 1 : 0);
  EXPECT_EQ(embedded::string_args(error.get()), row.error_args);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, Guarded,
    ::testing::Values(
        GuardCase{"ReturnsNormally", [](PyObject* value) { return Object::borrow(value); },
                  nullptr, false, {}},
        // Not ASCII, so a decoding other than UTF-8 shows.
        GuardCase{"AbortsTheCall",
                  [](PyObject*) -> Object {
                    abort_call(AbortLocation{"guard_test.cpp", 1, 1},
                               "Duplicate datatype Größe!");
                  },
                  "pyo3_runtime.PanicException", false, {"Duplicate datatype Größe!"}},
        GuardCase{"RunsOutOfMemory", [](PyObject*) -> Object { throw std::bad_alloc(); },
                  "builtins.MemoryError", true, {}},
        GuardCase{"ThrowsAnotherException",
                  [](PyObject*) -> Object { throw std::runtime_error("x"); },
                  "builtins.SystemError", true, {"x"}},
        GuardCase{"ThrowsWhatIsNoStdException", [](PyObject*) -> Object { throw 42; },
                  "builtins.SystemError", true,
                  {"py_vok: a call ended in an unknown C++ exception"}}),
    CaseLabel());

// At exit CPython ends a daemon thread that wants the interpreter lock back
// with pthread_exit, a forced unwind of its stack, and the thread holds no
// lock then. The unwind must pass the guard (a guard that kept it would end
// the process), and the references held on the way must stay as they are:
// a thread without the lock touches no reference count.
struct EndedThread {
  PyObject* held;  // a reference that the thread's body owns
  bool guard_returned = false;
};

void* end_inside_guard(void* argument) {
  auto* run = static_cast<EndedThread*>(argument);
  guarded([&]() -> Object {
    Object held = Object::steal(run->held);
    pthread_exit(nullptr);
  });
  run->guard_returned = true;
  return nullptr;
}

TEST(GuardedThreadEnd, ForcedUnwindPassesAndDropsNoReference) {
#if PY_VERSION_HEX < 0x030C0000
  // 3.11 tells a thread without the lock from the runtime's finalizing
  // state, the only time that CPython ends a thread; a plain thread end does
  // not set it. The Python suite ends threads at exit instead.
  GTEST_SKIP() << "on CPython 3.11 only a finalizing interpreter ends a thread";
#endif
  embedded::start_interpreter();
  Object value = Object::steal(PyUnicode_FromString("held by a thread that ends"));
  ASSERT_TRUE(value);
  const Py_ssize_t references = Py_REFCNT(value.get());
  EndedThread run{Object::borrow(value.get()).release()};

  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, end_inside_guard, &run), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);

  EXPECT_FALSE(run.guard_returned);
  EXPECT_EQ(Py_REFCNT(value.get()), references + 1);
  Object kept_by_the_thread = Object::steal(run.held);
}

}  // namespace
}  // namespace vok::py

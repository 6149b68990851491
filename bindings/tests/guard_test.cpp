// The entry guard's way out of each kind of body, inside an embedded
// interpreter: what the caller gets back and what error is left pending.
#include "vok/py/guard.hpp"

#include <gtest/gtest.h>

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
                  "builtins.SystemError", true, {"x"}}),
    CaseLabel());

}  // namespace
}  // namespace vok::py

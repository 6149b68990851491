// Applications that embed the interpreter may end it before the process
// ends (from an atexit handler or a static destructor) and may start it
// again. Each case ends its interpreter, so each runs in a process of its
// own: a death test that starts this program anew and checks how the
// process ends and what it wrote to standard error.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "case_names.hpp"
#include "embedded_python.hpp"

namespace vok::py {
namespace {

// Runs `code` in __main__; a Python error is printed to stderr, as the
// interpreter prints an uncaught one.
void run(const char* code) {
  if (PyRun_SimpleString(code) != 0) std::fputs("the code above failed\n", stderr);
}

void end_interpreter() {
  if (Py_FinalizeEx() != 0) std::fputs("Py_FinalizeEx failed\n", stderr);
}

class InterpreterEnd : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// exit() runs its handlers last registered first, so the application's,
// registered before the module is first used, runs after anything that the
// module would register while in use.
TEST_F(InterpreterEnd, FinalizedByAnAtexitHandlerPythonStillReadsAttributes) {
  EXPECT_EXIT(
      {
        embedded::start_interpreter();
        std::atexit(end_interpreter);
        run("import atexit, sys, py_vok\n"
            "module = py_vok.parse('data D { a: u8, };', 'n')\n"
            "atexit.register(lambda: print('Python atexit:', module.namespace.components,\n"
            "                              module.data_types[0][0], file=sys.stderr))\n");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^Python atexit: \\['n'\\] D\n$");
}

struct RestartCase {
  const char* label;
  const char* first_round;
  const char* second_round;
  const char* stderr_pattern;  // the whole of standard error
};

void PrintTo(const RestartCase& row, std::ostream* out) { *out << row.label; }

class InterpreterRestart : public InterpreterEnd,
                           public ::testing::WithParamInterface<RestartCase> {};

TEST_P(InterpreterRestart, SecondInterpreterGetsNothingOfTheFirst) {
  const RestartCase& row = GetParam();
  EXPECT_EXIT(
      {
        embedded::start_interpreter();
        run(row.first_round);
        end_interpreter();
        embedded::start_interpreter();
        run(row.second_round);
        end_interpreter();
        std::fputs("the application goes on\n", stderr);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), row.stderr_pattern);
}

constexpr const char* kParseAndPrint =
    "import sys, py_vok\n"
    "print(py_vok.parse('data D { a: u8, };', 'n').data_types[0][0], file=sys.stderr)\n";

INSTANTIATE_TEST_SUITE_P(
    Rounds, InterpreterRestart,
    ::testing::Values(
        // The module belongs to the interpreter that made it; the next one is
        // refused instead of being handed a module that finalization emptied.
        RestartCase{"ImportedInTheFirst", kParseAndPrint,
                    "import sys\n"
                    "try:\n"
                    "    import py_vok\n"
                    "except ImportError as refused:\n"
                    "    print('ImportError:', refused, file=sys.stderr)\n",
                    "^D\nImportError: py_vok cannot be imported again after its interpreter was "
                    "finalized: it can be initialised once per process\n"
                    "the application goes on\n$"},
        RestartCase{"NotImportedInTheFirst", "import sys", kParseAndPrint,
                    "^D\nthe application goes on\n$"}),
    CaseLabel());

}  // namespace
}  // namespace vok::py

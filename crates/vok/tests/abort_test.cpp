#include "vok/abort.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "walk_detail.hpp"
#include "stderr_capture.hpp"

namespace vok {
namespace {

// The report of two aborts in a process where none happened before. Run in
// a re-executed copy of the test binary, where the "first report" state is
// fresh whatever other tests aborted earlier.
void two_aborts_then_exit() {
  std::string written;
  {
    testing::StderrRedirect capture;
    for (const char* message : {"Duplicate datatype X!", "second"}) {
      try {
        abort_call({"crates/vok/src/parser", 557, 17}, message);
      } catch (const CallAborted& aborted) {
        write_stderr(std::string("[caught ") + aborted.what() + "]\n");
      }
    }
    written = capture.text();
  }
  const std::string expected =
      "thread '<unnamed>' panicked at crates/vok/src/parser:557:17:\nDuplicate datatype X!\n"
      "note: py_vok aborted this call; the message above says why.\n"
      "[caught Duplicate datatype X!]\n"
      "thread '<unnamed>' panicked at crates/vok/src/parser:557:17:\nsecond\n"
      "[caught second]\n";
  if (written != expected) {
    write_stderr("unexpected report:\n" + written);
    std::_Exit(1);
  }
  std::_Exit(0);
}

TEST(AbortCall, WritesTheReportAndAHintOnlyTheFirstTime) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(two_aborts_then_exit(), ::testing::ExitedWithCode(0), "");
}

TEST(WriteStderr, TreatsAClosedDescriptorAsDone) {
  testing::StderrRedirect closed(-1);
  EXPECT_TRUE(write_stderr("nobody reads this"));
}

const std::string kWarning =
    "\x1b[0m\x1b[33mUsing 'handlers' is deprecated and will be removed in future versions. Use 'fn' "
    "instead.\n\x1b[0m";

TEST(DeprecationWarning, IsColouredWhateverTheDescriptorIs) {
  testing::StderrRedirect capture;  // a plain file, not a terminal
  walk_detail::write_deprecation_warning();
  walk_detail::write_deprecation_warning();
  EXPECT_EQ(capture.text(), kWarning + kWarning);
  EXPECT_EQ(kWarning.size(), 9u + 88u + 1u + 4u);  // colours, message, LF, reset
}

TEST(DeprecationWarning, ShowsNothingOnAClosedDescriptor) {
  testing::StderrRedirect closed(-1);
  EXPECT_NO_THROW(walk_detail::write_deprecation_warning());
}

TEST(DeprecationWarning, AbortsWhenTheMessageCannotBeWritten) {
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  {
    testing::StderrRedirect redirect(full);
    EXPECT_THROW(walk_detail::write_deprecation_warning(), CallAborted);
  }
  ::close(full);
}

}  // namespace
}  // namespace vok

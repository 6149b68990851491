#include <errno.h>

#include <string>
#include <string_view>

#include "vok/abort.hpp"
#include "walk_detail.hpp"

namespace vok::walk_detail {

namespace {

constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kResetYellow = "\x1b[0m\x1b[33m";
constexpr std::string_view kMessage =
    "Using 'handlers' is deprecated and will be removed in future versions. "
    "Use 'fn' instead.\n";

[[noreturn]] void abort_unwritable_warning() {
  const int error = errno;
  abort_call({"crates/vok/src/warning.cpp", __LINE__, 3},
             "failed to write the deprecation warning to standard error (os error " +
                 std::to_string(error) + ")");
}

}  // namespace

void write_deprecation_warning() {
  if (!write_stderr(kResetYellow)) {
    // Colour is decoration; the message itself still has to get out.
    if (!write_stderr(kMessage)) abort_unwritable_warning();
    return;
  }
  if (!write_stderr(kMessage)) abort_unwritable_warning();
  (void)write_stderr(kReset);
}

}  // namespace vok::walk_detail

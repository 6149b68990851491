#include <errno.h>

#include <string>
#include <string_view>
#include <utility>

#include "vok/abort.hpp"
#include "vok/abort_locations.hpp"
#include "vok/data/decimal.hpp"
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
  std::string message = "failed to write the deprecation warning to standard error (os error ";
  append_decimal(message, error);
  message += ')';
  abort_call(abort_locations::kUnwritableWarning, std::move(message));
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

#include "vok/abort.hpp"

#include <errno.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <utility>

#include "vok/data/decimal.hpp"

namespace vok {

bool write_stderr(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      // Nobody is listening on a closed descriptor; that is not a failure.
      return errno == EBADF;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

namespace {

// Only the first report of a process carries the hint, so a long run of
// failing calls does not repeat it.
std::atomic<bool> first_report_written{false};

}  // namespace

void abort_call(AbortLocation where, std::string message) {
  std::string report;
  report.reserve(64 + where.file.size() + message.size());
  report += "thread '<unnamed>' panicked at ";
  report += where.file;
  report += ':';
  append_decimal(report, where.line);
  report += ':';
  append_decimal(report, where.column);
  report += ":\n";
  report += message;
  report += '\n';
  if (!first_report_written.exchange(true)) {
    report += "note: py_vok aborted this call; the message above says why.\n";
  }
  // The call ends either way; a report that cannot be written changes nothing.
  (void)write_stderr(report);
  throw CallAborted(std::move(message));
}

}  // namespace vok

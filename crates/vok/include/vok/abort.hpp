// Aborting a call.
//
// A duplicate name or a failed internal check ends the current call: the
// report goes straight to file descriptor 2 and `CallAborted` is thrown. Only
// the Python binding's entry guard catches it.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace vok {

// Where an abort was raised, as the report names it ("file:line:column").
struct AbortLocation {
  std::string_view file;
  unsigned line;
  unsigned column;
};

class CallAborted : public std::exception {
 public:
  explicit CallAborted(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// Writes "thread '<unnamed>' panicked at FILE:LINE:COLUMN:\nMESSAGE\n" to
// file descriptor 2 (plus one hint line after the first report of the
// process) and throws CallAborted(message).
[[noreturn]] void abort_call(AbortLocation where, std::string message);

// Writes all of `bytes` to file descriptor 2, retrying on EINTR. A closed
// descriptor (EBADF) counts as written. Returns false on any other failure.
bool write_stderr(std::string_view bytes);

}  // namespace vok

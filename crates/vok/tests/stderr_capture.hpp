// Test helper: sends file descriptor 2 somewhere else for one scope.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace vok::testing {

// Points fd 2 at `replacement` (a temporary file by default) until the
// object goes; `text()` gives what was written meanwhile.
class StderrRedirect {
 public:
  StderrRedirect() : file_(std::tmpfile()) { redirect(fileno(file_)); }
  explicit StderrRedirect(int replacement) { redirect(replacement); }
  StderrRedirect(const StderrRedirect&) = delete;
  StderrRedirect& operator=(const StderrRedirect&) = delete;
  ~StderrRedirect() {
    restore();
    if (file_ != nullptr) std::fclose(file_);
  }

  std::string text() const {
    std::string out;
    if (file_ == nullptr) return out;
    const int fd = fileno(file_);
    char chunk[4096];
    for (off_t at = 0;;) {
      const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
      if (got <= 0) break;
      out.append(chunk, static_cast<std::size_t>(got));
      at += got;
    }
    return out;
  }

  void restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }

 private:
  void redirect(int replacement) {
    saved_ = ::dup(STDERR_FILENO);
    if (replacement >= 0) {
      ::dup2(replacement, STDERR_FILENO);
    } else {
      ::close(STDERR_FILENO);
    }
  }

  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace vok::testing

// Reading a definition file whole and parsing it.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "file_detail.hpp"
#include "vok/data/decimal.hpp"
#include "vok/data/unicode.hpp"
#include "vok/parser.hpp"

namespace vok::file_detail {

namespace {

// Length of the valid character at the start of `bytes`, or 0 when it is
// not valid; `subpart` then holds how many bytes form the longest prefix
// of some valid character (at least 1), which is what one U+FFFD replaces.
std::size_t valid_char_length(std::string_view bytes, std::size_t& subpart) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  subpart = 1;
  const std::size_t length = unicode::utf8_length(lead);
  if (length == 1) return lead < 0x80 ? 1 : 0;
  // The lead byte bounds the second byte tighter than a continuation byte.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  switch (lead) {
    case 0xE0: low = 0xA0; break;   // no overlong forms
    case 0xED: high = 0x9F; break;  // no surrogates
    case 0xF0: low = 0x90; break;   // no overlong forms
    case 0xF4: high = 0x8F; break;  // nothing above U+10FFFF
    default: break;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= bytes.size()) return 0;
    const unsigned char c = at(i);
    if (i == 1 ? c < low || c > high : !unicode::is_continuation(c)) return 0;
    subpart = i + 1;
  }
  return length;
}

}  // namespace

std::size_t valid_utf8_prefix(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // Definition texts are mostly ASCII: take eight such bytes at a time.
    while (pos + 8 <= bytes.size()) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + pos, 8);
      if (word & 0x8080808080808080ULL) break;
      pos += 8;
    }
    if (pos >= bytes.size()) break;
    std::size_t subpart = 0;
    const std::size_t length = valid_char_length(bytes.substr(pos), subpart);
    if (length == 0) return pos;
    pos += length;
  }
  return bytes.size();
}

std::string utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t valid = valid_utf8_prefix(bytes);
    out.append(bytes.substr(0, valid));
    bytes.remove_prefix(valid);
    if (bytes.empty()) break;
    std::size_t subpart = 0;
    (void)valid_char_length(bytes, subpart);
    out += "\xEF\xBF\xBD";
    bytes.remove_prefix(subpart);
  }
  return out;
}

namespace {

// strerror_r comes in two forms: the XSI one returns an int and fills the
// buffer, the GNU one returns the text (which may not be the buffer).
[[maybe_unused]] const char* strerror_result(int rc, const char* buffer) { return rc == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* strerror_result(const char* text, const char*) { return text; }

}  // namespace

std::string os_error_text(int error_number) {
  char buffer[256] = {};
  const char* text = strerror_result(strerror_r(error_number, buffer, sizeof buffer), buffer);
  std::string out;
  if (text != nullptr) {
    out = utf8_lossy(text);
  } else {
    out = "Unknown error ";
    append_decimal(out, error_number);
  }
  out += " (os error ";
  append_decimal(out, error_number);
  out += ')';
  return out;
}

}  // namespace vok::file_detail

namespace vok {

namespace {

using file_detail::os_error_text;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { close(); }
  int get() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

int open_read_only(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The size the system reports for `fd`; 0 when it reports none, as for a
// pipe.
std::uint64_t file_size(int fd) {
#if defined(STATX_SIZE)
  struct statx extended {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_SIZE, &extended) == 0) {
    return (extended.stx_mask & STATX_SIZE) ? extended.stx_size : 0;
  }
  // An old kernel or a filter may refuse statx; fstat still answers.
#endif
  struct stat status {};
  if (::fstat(fd, &status) == 0 && status.st_size >= 0) return static_cast<std::uint64_t>(status.st_size);
  return 0;
}

ssize_t read_some(int fd, char* into, std::size_t room) {
  ssize_t got;
  do {
    got = ::read(fd, into, room);
  } while (got < 0 && errno == EINTR);
  return got;
}

// The content of a file, read in place. Allocated without initialising,
// so reserving the reported size touches no memory before the reads do.
class ContentBuffer {
 public:
  std::string_view text() const { return {data_.get(), length_}; }
  std::size_t capacity() const { return capacity_; }
  std::size_t room() const { return capacity_ - length_; }
  char* free_space() { return data_.get() + length_; }
  void advance(std::size_t count) { length_ += count; }

  // False when the memory cannot be had.
  bool reserve(std::uint64_t capacity) {
    if (capacity <= capacity_) return true;
    if (capacity > PTRDIFF_MAX) return false;
    std::unique_ptr<char[]> grown(new (std::nothrow) char[static_cast<std::size_t>(capacity)]);
    if (!grown) return false;
    if (length_ > 0) std::memcpy(grown.get(), data_.get(), length_);
    data_ = std::move(grown);
    capacity_ = static_cast<std::size_t>(capacity);
    return true;
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
};

// Reads `fd` to its end into `buffer`. A failure is the text of an Other
// error.
std::expected<void, std::string> read_all(int fd, ContentBuffer& buffer) {
  // One byte beyond the reported size holds the read that finds the end, so
  // a file that keeps its size is read into a single allocation. A file of
  // unknown size (a pipe, a /proc file) starts at the growth step; it, and a
  // file that grows, has its buffer doubled as it fills.
  constexpr std::uint64_t least_growth = 16384;
  const std::uint64_t reported = file_size(fd);
  const std::uint64_t first = reported == 0 ? least_growth : reported + 1;
  if (reported >= PTRDIFF_MAX || !buffer.reserve(first)) return std::unexpected("out of memory");
  for (;;) {
    if (buffer.room() == 0 && !buffer.reserve(std::max<std::uint64_t>(2ULL * buffer.capacity(), least_growth))) {
      return std::unexpected("out of memory");
    }
    const ssize_t got = read_some(fd, buffer.free_space(), buffer.room());
    if (got < 0) return std::unexpected(os_error_text(errno));
    if (got == 0) return {};
    buffer.advance(static_cast<std::size_t>(got));
  }
}

}  // namespace

std::expected<VokModule, ParseError> read_and_parse_file(std::string_view path, Namespace namespace_) {
  if (path.find('\0') != std::string_view::npos) {
    return std::unexpected(parse_error_other("file name contained an unexpected NUL byte"));
  }
  const std::string c_path(path);
  FileDescriptor file(open_read_only(c_path.c_str()));
  if (file.get() < 0) return std::unexpected(parse_error_other(os_error_text(errno)));
  ContentBuffer content;
  auto read = read_all(file.get(), content);
  file.close();
  if (!read) return std::unexpected(parse_error_other(std::move(read.error())));
  if (file_detail::valid_utf8_prefix(content.text()) != content.text().size()) {
    return std::unexpected(parse_error_other("stream did not contain valid UTF-8"));
  }
  return parse_module(content.text(), std::move(namespace_));
}

}  // namespace vok

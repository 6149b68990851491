// Pieces of the file reading that tests look at. Not part of the library's
// interface.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vok::file_detail {

// Length of the valid UTF-8 prefix of `bytes` (all of it when valid).
std::size_t valid_utf8_prefix(std::string_view bytes);

// `bytes` as UTF-8, each maximal invalid subsequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// The C library's description of `error_number`, then " (os error N)".
std::string os_error_text(int error_number);

}  // namespace vok::file_detail

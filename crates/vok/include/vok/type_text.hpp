// Type texts: the list form, the counted form and the plain form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vok {

struct TypeText {
  std::string_view name;  // a part of the analysed text
  bool is_list = false;
  std::optional<std::uint64_t> count;
};

// "list of X" -> (X trimmed, list); "<digits><ws>+of X" anywhere -> (the text
// after "of" trimmed, list, count); anything else -> (the text, plain).
// A digit run that is not ASCII or exceeds 2^64-1 aborts the call.
TypeText parse_type_name(std::string_view text);

// `(\d+)\s+of` with Unicode classes (\d = Nd, \s = White_Space).
class CountOfRegex {
 public:
  struct Match {
    std::size_t digits_start;
    std::size_t digits_end;
    std::size_t end;  // just past "of"
  };
  // The leftmost match in `text`, if any.
  std::optional<Match> find(std::string_view text) const;
};

// `\s+` with the Unicode White_Space class.
class WhitespaceRegex {
 public:
  // Replaces every maximal run of white space by `replacement`.
  std::string replace_all(std::string_view text, std::string_view replacement) const;
};

// Built once per process on first use, then shared read-only.
const CountOfRegex& count_of_regex();
const WhitespaceRegex& whitespace_regex();

// Removes leading and trailing White_Space characters.
std::string_view trim_white_space(std::string_view text);

}  // namespace vok

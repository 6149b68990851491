#include "vok/type_text.hpp"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

#include "vok/abort.hpp"
#include "vok/abort_locations.hpp"
#include "vok/data/unicode.hpp"

namespace vok {

namespace {

// The character classes as function objects, so that the run loops below
// inline them; their ASCII tests are inline in the header.
constexpr auto white_space = [](char32_t c) { return unicode::is_white_space(c); };
constexpr auto decimal_digit = [](char32_t c) { return unicode::is_decimal_digit(c); };

// Skips the run of characters satisfying `in_class` that starts at `pos`.
template <class Class>
std::size_t skip_run(std::string_view text, std::size_t pos, Class in_class) {
  std::size_t length = 0;
  while (pos < text.size() && in_class(unicode::decode_utf8(text, pos, length))) pos += length;
  return pos;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = skip_run(text, 0, white_space);
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t lead = end - 1;
    while (lead > begin && unicode::is_continuation(static_cast<unsigned char>(text[lead]))) --lead;
    std::size_t length = 0;
    if (!white_space(unicode::decode_utf8(text, lead, length))) break;
    end = lead;
  }
  return text.substr(begin, end - begin);
}

// Leftmost match of (\d+)\s+of. The classes are disjoint and "o" is in
// neither, so a match can only use the whole digit run and the whole
// white-space run after it; and a match starting inside a digit run would
// also match from the run's first digit. Checking each maximal digit run
// once therefore finds what a backtracking search would, in linear time.
std::optional<CountOfRegex::Match> CountOfRegex::find(std::string_view text) const {
  std::size_t pos = 0;
  std::size_t length = 0;
  while (pos < text.size()) {
    if (!decimal_digit(unicode::decode_utf8(text, pos, length))) {
      pos += length;
      continue;
    }
    const std::size_t digits_end = skip_run(text, pos, decimal_digit);
    const std::size_t space_end = skip_run(text, digits_end, white_space);
    if (space_end > digits_end && text.substr(space_end, 2) == "of") {
      return Match{pos, digits_end, space_end + 2};
    }
    pos = space_end;
  }
  return std::nullopt;
}

std::string WhitespaceRegex::replace_all(std::string_view text, std::string_view replacement) const {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  std::size_t length = 0;
  while (pos < text.size()) {
    const std::size_t char_start = pos;
    if (!white_space(unicode::decode_utf8(text, pos, length))) {
      out.append(text.substr(char_start, length));
      pos += length;
      continue;
    }
    pos = skip_run(text, pos, white_space);
    out += replacement;
  }
  return out;
}

const CountOfRegex& count_of_regex() {
  static const CountOfRegex regex;
  return regex;
}

const WhitespaceRegex& whitespace_regex() {
  static const WhitespaceRegex regex;
  return regex;
}

TypeText parse_type_name(std::string_view text) {
  if (text.starts_with("list of")) {
    return TypeText{trim_white_space(text.substr(7)), true, std::nullopt};
  }
  if (const auto match = count_of_regex().find(text)) {
    const std::string_view digits =
        text.substr(match->digits_start, match->digits_end - match->digits_start);
    // The run is never empty and starts with an Nd digit, and an unsigned
    // read takes no sign; any other Nd digit is a multi-byte character and
    // stops the read short of the end.
    std::uint64_t count = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
      abort_call(abort_locations::kUnreadableElementCount,
                 "invalid element count in type text: " + std::string(digits));
    }
    return TypeText{trim_white_space(text.substr(match->end)), true, count};
  }
  return TypeText{text, false, std::nullopt};
}

}  // namespace vok

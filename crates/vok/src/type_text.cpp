#include "vok/type_text.hpp"

#include <string>

#include "vok/abort.hpp"
#include "vok/data/unicode.hpp"

namespace vok {

namespace {

// Most type texts are ASCII; the tables are consulted only past it.
bool ascii_white_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char32_t char_at(std::string_view text, std::size_t pos, std::size_t& length) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) {
    length = 1;
    return byte;
  }
  return unicode::decode_utf8(text, pos, length);
}

bool white_space(char32_t c) {
  return c < 0x80 ? ascii_white_space(static_cast<unsigned char>(c)) : unicode::is_white_space(c);
}

bool decimal_digit(char32_t c) {
  return c < 0x80 ? (c >= '0' && c <= '9') : unicode::is_decimal_digit(c);
}

// Skips the run of characters satisfying `in_class` that starts at `pos`.
template <class Class>
std::size_t skip_run(std::string_view text, std::size_t pos, Class in_class) {
  std::size_t length = 0;
  while (pos < text.size() && in_class(char_at(text, pos, length))) pos += length;
  return pos;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = skip_run(text, 0, white_space);
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t lead = end - 1;
    while (lead > begin && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
    std::size_t length = 0;
    if (!white_space(char_at(text, lead, length))) break;
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
    if (!decimal_digit(char_at(text, pos, length))) {
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
    if (!white_space(char_at(text, pos, length))) {
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
    std::uint64_t count = 0;
    for (const char c : digits) {
      // Any other Nd digit is a multi-byte character and fails here too.
      const bool ascii_digit = c >= '0' && c <= '9';
      const auto digit = static_cast<std::uint64_t>(c - '0');
      if (!ascii_digit || count > (UINT64_MAX - digit) / 10) {
        abort_call({"crates/vok/src/parser", 175, 48},
                   "invalid element count in type text: " + std::string(digits));
      }
      count = count * 10 + digit;
    }
    return TypeText{trim_white_space(text.substr(match->end)), true, count};
  }
  return TypeText{text, false, std::nullopt};
}

}  // namespace vok

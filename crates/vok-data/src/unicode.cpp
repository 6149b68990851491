#include "vok/data/unicode.hpp"

#include <algorithm>
#include <span>

#include "unicode_tables.hpp"

namespace vok::unicode {

namespace {

using tables::CodePointRange;

bool in_table(std::span<const CodePointRange> table, char32_t c) {
  // The first range that ends at or after `c` is the only one that can hold it.
  const auto it = std::lower_bound(
      table.begin(), table.end(), c,
      [](const CodePointRange& range, char32_t value) { return range.last < value; });
  return it != table.end() && it->first <= c;
}

constexpr char32_t k_replacement = 0xFFFD;
constexpr char32_t k_max_code_point = 0x10FFFF;

}  // namespace

bool is_grapheme_extend(char32_t c) {
  return c >= 0x80 && in_table(tables::grapheme_extend, c);
}

bool is_printable(char32_t c) {
  if (c < 0x80) return c >= 0x20 && c != 0x7F;
  return c <= k_max_code_point && !in_table(tables::non_printable, c);
}

namespace detail {

bool in_white_space_table(char32_t c) { return in_table(tables::white_space, c); }

bool in_decimal_digit_table(char32_t c) { return in_table(tables::decimal_digit, c); }

char32_t decode_multibyte(std::string_view text, std::size_t pos, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  length = 1;

  // Valid input is promised, but a stray byte must not make us read past the
  // end of `text` or invent a code point from unrelated bits.
  const std::size_t expected = utf8_length(lead);
  if (expected == 1 || text.size() - pos < expected) return k_replacement;
  char32_t c = lead & (0x7F >> expected);
  for (std::size_t i = 1; i < expected; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!is_continuation(byte)) return k_replacement;
    c = (c << 6) | (byte & 0x3F);
  }
  const bool overlong = (expected == 3 && c < 0x800) || (expected == 4 && c < 0x10000);
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  if (overlong || surrogate || c > k_max_code_point) return k_replacement;
  length = expected;
  return c;
}

}  // namespace detail

}  // namespace vok::unicode

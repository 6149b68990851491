// Code-point range tables behind the character properties of unicode.hpp.
//
// The definitions live in unicode_tables.cpp, which tools/gen_unicode_tables.py
// generates; each table is sorted by `first`, its ranges neither overlap nor
// touch, and it covers only code points up to U+10FFFF.
#pragma once

#include <span>

namespace vok::unicode::tables {

struct CodePointRange {
  char32_t first;
  char32_t last;  // inclusive
};

// Printability is stored as its complement: the excluded categories are far
// fewer ranges than the printable ones.
extern const std::span<const CodePointRange> non_printable;
extern const std::span<const CodePointRange> grapheme_extend;
extern const std::span<const CodePointRange> white_space;
extern const std::span<const CodePointRange> decimal_digit;

}  // namespace vok::unicode::tables

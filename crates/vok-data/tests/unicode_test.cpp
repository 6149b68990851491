#include "vok/data/unicode.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "case_names.hpp"

namespace vok::unicode {
namespace {

constexpr char32_t k_last_code_point = 0x10FFFF;

TEST(UnicodeTables, WhiteSpaceIsExactlyTheListedCharacters) {
  const std::set<char32_t> expected = {
      0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
      0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
      0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  std::set<char32_t> found;
  for (char32_t c = 0; c <= k_last_code_point; ++c) {
    if (is_white_space(c)) found.insert(c);
  }
  EXPECT_EQ(found, expected);
}

TEST(UnicodeTables, DecimalDigitsOverTheWholeRange) {
  int count = 0;
  for (char32_t c = 0; c <= k_last_code_point; ++c) count += is_decimal_digit(c);
  EXPECT_EQ(count, 680);
  // Both ends of a range, and its neighbours.
  EXPECT_TRUE(is_decimal_digit(U'0'));
  EXPECT_TRUE(is_decimal_digit(U'9'));
  EXPECT_FALSE(is_decimal_digit(U'/'));
  EXPECT_FALSE(is_decimal_digit(U':'));
  EXPECT_TRUE(is_decimal_digit(0x0660));
  EXPECT_TRUE(is_decimal_digit(0x1FBF9));
  EXPECT_FALSE(is_decimal_digit(0x1FBFA));
  EXPECT_FALSE(is_decimal_digit(0x00B2));  // superscript two is No, not Nd
}

TEST(UnicodeTables, GraphemeExtend) {
  for (char32_t c : {0x0300, 0x0301, 0x036F, 0x200C, 0xFE0F, 0xE0020, 0xE01EF}) {
    EXPECT_TRUE(is_grapheme_extend(c)) << std::hex << static_cast<unsigned>(c);
  }
  // U+200D (zero width joiner) has its own grapheme-break class and is not
  // Grapheme_Extend, unlike its neighbour U+200C.
  for (char32_t c :
       {0x00, 0x41, 0x02FF, 0x200D, 0x0370, 0x200B, 0x200E, 0x2764, 0x1F600, 0xE01F0}) {
    EXPECT_FALSE(is_grapheme_extend(c)) << std::hex << static_cast<unsigned>(c);
  }
}

TEST(UnicodeTables, PrintableStopsAtTheLastCodePoint) {
  EXPECT_TRUE(is_printable(U' '));
  EXPECT_FALSE(is_printable(0x10FFFD));  // private use
  EXPECT_FALSE(is_printable(0x110000));
  EXPECT_FALSE(is_printable(0xFFFFFFFF));
}

// Encodes every scalar value by the textbook bit layout and compares what the
// helpers say about each byte with where that byte turned up.
TEST(Utf8Bytes, LengthAndContinuationAgreeWithEveryEncoding) {
  std::array<std::size_t, 256> length_as_lead{};  // 0: starts no character
  std::array<bool, 256> seen_after_lead{};
  for (char32_t c = 0; c <= k_last_code_point; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const unsigned lead_bits = length == 1 ? 0x00 : length == 2 ? 0xC0 : length == 3 ? 0xE0 : 0xF0;
    length_as_lead[lead_bits | (c >> (6 * (length - 1)))] = length;
    for (std::size_t i = 1; i < length; ++i) seen_after_lead[0x80 | ((c >> (6 * (length - 1 - i))) & 0x3F)] = true;
  }
  for (unsigned byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    EXPECT_EQ(utf8_length(b), length_as_lead[byte] == 0 ? 1 : length_as_lead[byte]) << std::hex << byte;
    EXPECT_EQ(is_continuation(b), seen_after_lead[byte]) << std::hex << byte;
  }
}

struct DecodeCase {
  std::string label;
  std::string text;
  char32_t code_point;
  std::size_t length;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { print_quoted(c.text, os); }

class DecodeUtf8 : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeUtf8, DecodesTheFirstCharacter) {
  std::size_t length = 0;
  EXPECT_EQ(decode_utf8(GetParam().text, 0, length), GetParam().code_point);
  EXPECT_EQ(length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Valid, DecodeUtf8,
    testing::Values(DecodeCase{"Nul", std::string(1, '\0'), 0, 1},
                    DecodeCase{"AsciiBeforeMore", "a!", U'a', 1},
                    DecodeCase{"FirstTwoByte", "\u0080", 0x80, 2},
                    DecodeCase{"LastTwoByte", "\u07FF", 0x7FF, 2},
                    DecodeCase{"FirstThreeByte", "\u0800", 0x800, 3},
                    DecodeCase{"LastThreeByte", "\uFFFF", 0xFFFF, 3},
                    DecodeCase{"FirstFourByte", "\U00010000", 0x10000, 4},
                    DecodeCase{"LastCodePoint", "\U0010FFFF", 0x10FFFF, 4}),
    CaseLabel());

// Not expected from the parser, but a bad byte must neither read past the end
// nor produce a code point out of nothing.
INSTANTIATE_TEST_SUITE_P(
    Malformed, DecodeUtf8,
    testing::Values(DecodeCase{"LoneContinuationByte", "\x80", 0xFFFD, 1},
                    DecodeCase{"OverlongNul", "\xC0\x80", 0xFFFD, 1},
                    DecodeCase{"ThreeByteCutShort", "\xE2\x82", 0xFFFD, 1},
                    DecodeCase{"ThreeByteWithAsciiInside", "\xE2(\xA1", 0xFFFD, 1},
                    DecodeCase{"Surrogate", "\xED\xA0\x80", 0xFFFD, 1},
                    DecodeCase{"AboveLastCodePoint", "\xF4\x90\x80\x80", 0xFFFD, 1},
                    DecodeCase{"FourByteCutShort", "\xF0\x9F\x98", 0xFFFD, 1},
                    DecodeCase{"OverlongTwoByte", "\xC1\xBF", 0xFFFD, 1},
                    DecodeCase{"LeadAboveF4", "\xF5\x80\x80\x80", 0xFFFD, 1}),
    CaseLabel());

}  // namespace
}  // namespace vok::unicode

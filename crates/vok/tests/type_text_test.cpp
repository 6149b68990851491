#include "vok/type_text.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "case_names.hpp"
#include "stderr_capture.hpp"
#include "vok/abort.hpp"

namespace vok {
namespace {

struct TypeCase {
  std::string label;
  std::string text;
  std::string name;
  bool is_list;
  std::optional<std::uint64_t> count;
};

void PrintTo(const TypeCase& c, std::ostream* os) { print_quoted(c.text, os); }

class ParseTypeName : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ParseTypeName, TellsTheThreeFormsApart) {
  const TypeCase& c = GetParam();
  const TypeText result = parse_type_name(c.text);
  EXPECT_EQ(result.name, c.name);
  EXPECT_EQ(result.is_list, c.is_list);
  EXPECT_EQ(result.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseTypeName,
    ::testing::Values(
        TypeCase{"Plain", "Foo", "Foo", false, std::nullopt},
        TypeCase{"Path", "a::b", "a::b", false, std::nullopt},
        TypeCase{"EmptyText", "", "", false, std::nullopt},
        TypeCase{"List", "list of Foo", "Foo", true, std::nullopt},
        TypeCase{"ListNameTrimmed", "list of  a::b ", "a::b", true, std::nullopt},
        TypeCase{"ListWithoutSpaceAfterOf", "list ofFoo", "Foo", true, std::nullopt},
        TypeCase{"ListWithoutName", "list of", "", true, std::nullopt},
        // Only an exact "list of" prefix is the list form.
        TypeCase{"TwoSpacesMakeNoList", "list  of Foo", "list  of Foo", false, std::nullopt},
        TypeCase{"TabMakesNoList", "list\tof Foo", "list\tof Foo", false, std::nullopt},
        TypeCase{"NoSpaceMakesNoList", "listof Foo", "listof Foo", false, std::nullopt},
        TypeCase{"PlainNameNotTrimmed", " Foo ", " Foo ", false, std::nullopt},
        TypeCase{"Counted", "5 of Foo", "Foo", true, 5},
        TypeCase{"CountedWithTwoSpaces", "5  of Foo", "Foo", true, 5},
        TypeCase{"CountedAcrossLines", "5\nof Foo", "Foo", true, 5},
        TypeCase{"CountWithLeadingZeros", "007 of X", "X", true, 7},
        TypeCase{"ZeroCount", "0 of X", "X", true, 0},
        TypeCase{"LargestCount", "18446744073709551615 of X", "X", true, 18446744073709551615ULL},
        TypeCase{"LargestCountWithLeadingZeros", "000000000000000000000018446744073709551615 of X", "X", true,
                 18446744073709551615ULL},
        TypeCase{"SignIsNoPartOfTheCount", "-1 of X", "X", true, 1},
        TypeCase{"CountWithoutSpace", "5of Foo", "5of Foo", false, std::nullopt},
        TypeCase{"OfStartsAWord", "5 offset", "fset", true, 5},
        // The search is unanchored and takes the leftmost digit run that works.
        TypeCase{"TwoNumbers", "1 2 of X", "X", true, 2},
        TypeCase{"DigitsAfterALetter", "x12 of Y", "Y", true, 12},
        TypeCase{"DigitRunAfterAWord", "12 x 3 of Y", "Y", true, 3},
        // Unicode white space counts between the digits and "of", and is
        // trimmed from the name.
        TypeCase{"UnicodeWhiteSpace", "5\u3000of\u00a0Foo\u2028", "Foo", true, 5},
        TypeCase{"ZeroWidthSpaceIsNoWhiteSpace", "5\u200bof Foo", "5\u200bof Foo", false, std::nullopt}),
    CaseLabel());

struct CountCase {
  std::string label;
  std::string text;
};

void PrintTo(const CountCase& c, std::ostream* os) { print_quoted(c.text, os); }

class UnreadableCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(UnreadableCount, AbortsTheCall) {
  testing::StderrRedirect capture;
  try {
    parse_type_name(GetParam().text);
    FAIL() << "no abort";
  } catch (const CallAborted& aborted) {
    EXPECT_NE(aborted.message().find("invalid element count in type text"), std::string::npos);
  }
  EXPECT_NE(capture.text().find("panicked at crates/vok/src/parser:175:48:\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Counts, UnreadableCount,
                         ::testing::Values(CountCase{"OneAboveLargest", "18446744073709551616 of X"},
                                           CountCase{"FarAboveLargest", "99999999999999999999999 of X"},
                                           CountCase{"NonAsciiDigit", "\u0663 of X"},  // ARABIC-INDIC DIGIT THREE
                                           CountCase{"NonAsciiAfterAsciiDigit", "1\u0663 of X"},
                                           CountCase{"OverflowInTheLastDigit", "18446744073709551620 of X"},
                                           CountCase{"OverflowThenNonAsciiDigit", "99999999999999999999\u0663 of X"}),
                         CaseLabel());

TEST(CountOfRegex, ReportsTheDigitRunAndTheEndOfOf) {
  const std::string text = "ab \u0661\u0662  of rest";  // two Arabic-Indic digits, 2 bytes each
  const auto match = count_of_regex().find(text);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->digits_start, 3u);
  EXPECT_EQ(match->digits_end, 7u);
  EXPECT_EQ(match->end, 11u);
  EXPECT_FALSE(count_of_regex().find("5 o f").has_value());
  EXPECT_FALSE(count_of_regex().find("5 Of X").has_value());
  EXPECT_EQ(&count_of_regex(), &count_of_regex());
}

TEST(WhitespaceRegex, ReplacesEveryMaximalRun) {
  const WhitespaceRegex& regex = whitespace_regex();
  EXPECT_EQ(regex.replace_all("list \t\r\n of\u00a0\u2028Foo", " "), "list of Foo");
  EXPECT_EQ(regex.replace_all("  a  ", "_"), "_a_");
  EXPECT_EQ(regex.replace_all("a\u200bb\u00e9", " "), "a\u200bb\u00e9");  // U+200B is no white space
  EXPECT_EQ(regex.replace_all("", " "), "");
}

TEST(TrimWhiteSpace, RemovesUnicodeWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(trim_white_space("\u3000\u0085 a \u00a0 b\r\u205f"), "a \u00a0 b");
  EXPECT_EQ(trim_white_space(" \t\n"), "");
  EXPECT_EQ(trim_white_space("\u200bx\u00e9"), "\u200bx\u00e9");
}

}  // namespace
}  // namespace vok

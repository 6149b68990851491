#include <gtest/gtest.h>

#include <string>

#include "case_names.hpp"
#include "vok/grammar.hpp"

namespace vok {
namespace {

struct Report {
  std::string label;
  std::string text;
  std::string report;  // the whole six-line text
};

void PrintTo(const Report& c, std::ostream* os) { print_quoted(c.text, os); }

class SyntaxErrorText : public ::testing::TestWithParam<Report> {};

TEST_P(SyntaxErrorText, IsTheSixLineReport) {
  const auto& [label, text, report] = GetParam();
  const auto result = run_grammar(text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(syntax_error_text(text, result.error()), report);
}

INSTANTIATE_TEST_SUITE_P(
    Place, SyntaxErrorText,
    ::testing::Values(
        Report{"FirstLine", "foo",
               " --> 1:1\n"
               "  |\n"
               "1 | foo\n"
               "  | ^---\n"
               "  |\n"
               "  = expected EOI, COMMENT, import, data, service, or enum_"},
        // A two-digit line number widens the gutter of every line.
        Report{"TwoDigitLineNumber", "\n\n\n\n\n\n\n\n\nfoo",
               "  --> 10:1\n"
               "   |\n"
               "10 | foo\n"
               "   | ^---\n"
               "   |\n"
               "   = expected EOI, COMMENT, import, data, service, or enum_"},
        Report{"TabBeforeTheError", "\tfoo",
               " --> 1:2\n"
               "  |\n"
               "1 | \tfoo\n"
               "  | \t^---\n"
               "  |\n"
               "  = expected EOI, COMMENT, import, data, service, or enum_"},
        Report{"AfterCrLfLineEnds", "data A {}\r\n;\r\nfoo",
               " --> 3:1\n"
               "  |\n"
               "3 | foo\n"
               "  | ^---\n"
               "  |\n"
               "  = expected EOI, COMMENT, import, data, service, or enum_"},
        // A lone CR counts as a column but is not shown, so the marker
        // stands one further right.
        Report{"LoneCarriageReturn", "import a;\rfoo",
               " --> 1:11\n"
               "  |\n"
               "1 | import a;foo\n"
               "  |           ^---\n"
               "  |\n"
               "  = expected EOI, COMMENT, import, data, service, or enum_"},
        // The error at the very end, after the last line break.
        Report{"AfterTheLastLineBreak", "data A { x: int, }\n",
               " --> 2:1\n"
               "  |\n"
               "2 | \n"
               "  | ^---\n"
               "  |\n"
               "  = expected COMMENT"},
        // Columns count characters: the two-byte letters are one each.
        Report{"TwoByteLetters", "#[a(b = \"\u00e9\u00e9\")] import x",
               " --> 1:24\n"
               "  |\n"
               "1 | #[a(b = \"\u00e9\u00e9\")] import x\n"
               "  |                        ^---\n"
               "  |\n"
               "  = expected COMMENT"},
        // Only the failing line is shown, without its line end.
        Report{"OnlyTheFailingLine", "data A {};\r\nenum E { A = 1 2 3 x, };\r\ndata B {};",
               " --> 2:20\n"
               "  |\n"
               "2 | enum E { A = 1 2 3 x, };\n"
               "  |                    ^---\n"
               "  |\n"
               "  = expected COMMENT"}),
    CaseLabel());

// Message wording by the number of expected rules.
TEST(SyntaxErrorText, ListsOneTwoOrMoreRules) {
  auto message = [](std::vector<Rule> expected) {
    const std::string text = syntax_error_text("x", SyntaxError{0, std::move(expected)});
    return text.substr(text.rfind('\n') + 1);
  };
  EXPECT_EQ(message({Rule::COMMENT}), "  = expected COMMENT");
  EXPECT_EQ(message({Rule::COMMENT, Rule::typ}), "  = expected COMMENT or typ");
  EXPECT_EQ(message({Rule::COMMENT, Rule::path, Rule::string}), "  = expected COMMENT, path, or string");
}

}  // namespace
}  // namespace vok

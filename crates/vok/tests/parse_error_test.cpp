#include "vok/parse_error.hpp"

#include <gtest/gtest.h>

#include <string>

#include "case_names.hpp"

namespace vok {
namespace {

struct SpanCase {
  std::string label;
  std::string text;
  std::size_t start;
  std::size_t end;
  std::string expected;
};

void PrintTo(const SpanCase& c, std::ostream* os) { print_quoted(c.text, os); }

class SpanText : public ::testing::TestWithParam<SpanCase> {};

TEST_P(SpanText, IsOneLineDebugText) {
  const SpanCase& c = GetParam();
  std::string out = "keep:";
  append_span_debug_text(Span{c.text, c.start, c.end}, out);
  EXPECT_EQ(out, "keep:" + c.expected);
  EXPECT_EQ(out.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpanText,
    ::testing::Values(
        SpanCase{"QuoteInText", "a\"b", 10, 13, R"(Span { str: "a\"b", start: 10, end: 13 })"},
        SpanCase{"EmptyText", "", 7, 7, R"(Span { str: "", start: 7, end: 7 })"},
        SpanCase{"LineFeedTabBackslash", "x\n\ty\\", 0, 5,
                 R"(Span { str: "x\n\ty\\", start: 0, end: 5 })"},
        SpanCase{"NoBreakSpaceAndLargeOffsets", "\xC2\xA0", 123456789012, 123456789014,
                 R"(Span { str: "\u{a0}", start: 123456789012, end: 123456789014 })"}),
    CaseLabel());

const std::string kSpan = R"(Span { str: "#[a]", start: 0, end: 4 })";

struct MessageCase {
  std::string label;
  ParseErrorKind kind;
  std::string payload;
  std::string expected;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  *os << c.label << ' ';
  print_quoted(c.payload, os);
}

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, RendersKindPayloadAndSpan) {
  const MessageCase& c = GetParam();
  const ParseError error = parse_error_new(c.kind, Span{"#[a]", 0, 4}, c.payload);
  EXPECT_EQ(error.span_text, kSpan);
  EXPECT_EQ(parse_error_display(error), c.expected);
}

using K = ParseErrorKind;
INSTANTIATE_TEST_SUITE_P(
    AllKinds, Message,
    ::testing::Values(
        MessageCase{"ImportIncomplete", K::ImportIncomplete, "", "Import incomplete. (" + kSpan + ")"},
        MessageCase{"DatatypeIncomplete", K::DatatypeIncomplete, "", "Datatype incomplete. (" + kSpan + ")"},
        MessageCase{"PropertyIncomplete", K::PropertyIncomplete, "", "Property incomplete. (" + kSpan + ")"},
        MessageCase{"TypeMissing", K::TypeMissing, "id",
                    R"(Type missing after id. ("Span { str: \"#[a]\", start: 0, end: 4 }"))"},
        MessageCase{"EnumIncomplete", K::EnumIncomplete, "", "Incomplete enum. (" + kSpan + ")"},
        MessageCase{"EnumValueIncomplete", K::EnumValueIncomplete, "",
                    "Incomplete enum value. (" + kSpan + ")"},
        MessageCase{"InvalidEnumValue", K::InvalidEnumValue, "invalid digit found in string",
                    "Invalid enum value. invalid digit found in string (" + kSpan + ")"},
        MessageCase{"ServiceIncomplete", K::ServiceIncomplete, "", "Service incomplete. (" + kSpan + ")"},
        MessageCase{"DependsIncomplete", K::DependsIncomplete, "", "Depends incomplete. (" + kSpan + ")"},
        MessageCase{"CallIncomplete", K::CallIncomplete, "", "Call incomplete. (" + kSpan + ")"},
        MessageCase{"EventIncomplete", K::EventIncomplete, "", "Event incomplete. (" + kSpan + ")"},
        MessageCase{"ArgumentIdentIncomplete", K::ArgumentIdentIncomplete, "",
                    "Argument ident incomplete. (" + kSpan + ")"},
        MessageCase{"AttributeArgumentIncomplete", K::AttributeArgumentIncomplete, "",
                    "Attribute argument incomplete. (" + kSpan + ")"},
        MessageCase{"AttributeIncomplete", K::AttributeIncomplete, "",
                    "Attribute incomplete. (" + kSpan + ")"},
        MessageCase{"NameIncomplete", K::NameIncomplete, "", "Name incomplete. (" + kSpan + ")"},
        MessageCase{"UnexpectedElement", K::UnexpectedElement, R"(while parsing service "S"! ident(8, 9))",
                    R"(Unexpected element while parsing service "S"! ident(8, 9) ()" + kSpan + ")"}),
    CaseLabel());

TEST(OtherError, HasNoSpanAndKeepsItsLines) {
  EXPECT_EQ(parse_error_display(parse_error_other("")), "Other()");
  const ParseError error = parse_error_other(" --> 1:1\n  |\n1 | x\n  | ^---\n  |\n  = expected EOI");
  EXPECT_TRUE(error.span_text.empty());
  EXPECT_EQ(parse_error_display(error), "Other( --> 1:1\n  |\n1 | x\n  | ^---\n  |\n  = expected EOI)");
}

TEST(TypeMissingError, QuotesEscapesOfTheSpanTextAgain) {
  // The span text of a span holding a backslash and a line feed already
  // has escapes; quoting it doubles the backslashes.
  const ParseError error = parse_error_new(K::TypeMissing, Span{"a\\\n", 5, 8}, "p");
  EXPECT_EQ(error.span_text, R"(Span { str: "a\\\n", start: 5, end: 8 })");
  EXPECT_EQ(parse_error_display(error), R"(Type missing after p. ("Span { str: \"a\\\\\\n\", start: 5, end: 8 }"))");
}

}  // namespace
}  // namespace vok

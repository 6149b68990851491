#include "vok/parse_error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vok {
namespace {

struct SpanCase {
  std::string text;
  std::size_t start;
  std::size_t end;
  std::string expected;
};

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
    ::testing::Values(SpanCase{"a\"b", 10, 13, R"(Span { str: "a\"b", start: 10, end: 13 })"},
                      SpanCase{"", 7, 7, R"(Span { str: "", start: 7, end: 7 })"},
                      SpanCase{"x\n\ty\\", 0, 5, R"(Span { str: "x\n\ty\\", start: 0, end: 5 })"},
                      SpanCase{"\xC2\xA0", 123456789012, 123456789014,
                               R"(Span { str: "\u{a0}", start: 123456789012, end: 123456789014 })"}));

const std::string kSpan = R"(Span { str: "#[a]", start: 0, end: 4 })";

struct MessageCase {
  ParseErrorKind kind;
  std::string payload;
  std::string expected;
};

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
        MessageCase{K::ImportIncomplete, "", "Import incomplete. (" + kSpan + ")"},
        MessageCase{K::DatatypeIncomplete, "", "Datatype incomplete. (" + kSpan + ")"},
        MessageCase{K::PropertyIncomplete, "", "Property incomplete. (" + kSpan + ")"},
        MessageCase{K::TypeMissing, "id",
                    R"(Type missing after id. ("Span { str: \"#[a]\", start: 0, end: 4 }"))"},
        MessageCase{K::EnumIncomplete, "", "Incomplete enum. (" + kSpan + ")"},
        MessageCase{K::EnumValueIncomplete, "", "Incomplete enum value. (" + kSpan + ")"},
        MessageCase{K::InvalidEnumValue, "invalid digit found in string",
                    "Invalid enum value. invalid digit found in string (" + kSpan + ")"},
        MessageCase{K::ServiceIncomplete, "", "Service incomplete. (" + kSpan + ")"},
        MessageCase{K::DependsIncomplete, "", "Depends incomplete. (" + kSpan + ")"},
        MessageCase{K::CallIncomplete, "", "Call incomplete. (" + kSpan + ")"},
        MessageCase{K::EventIncomplete, "", "Event incomplete. (" + kSpan + ")"},
        MessageCase{K::ArgumentIdentIncomplete, "", "Argument ident incomplete. (" + kSpan + ")"},
        MessageCase{K::AttributeArgumentIncomplete, "", "Attribute argument incomplete. (" + kSpan + ")"},
        MessageCase{K::AttributeIncomplete, "", "Attribute incomplete. (" + kSpan + ")"},
        MessageCase{K::NameIncomplete, "", "Name incomplete. (" + kSpan + ")"},
        MessageCase{K::UnexpectedElement, R"(while parsing service "S"! ident(8, 9))",
                    R"(Unexpected element while parsing service "S"! ident(8, 9) ()" + kSpan + ")"}));

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

// The parser's one error value and its messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vok/grammar.hpp"

namespace vok {

// Numbered 0 to 16 in this order. Four kinds carry a text payload:
// TypeMissing, InvalidEnumValue, UnexpectedElement and Other.
enum class ParseErrorKind : std::uint8_t {
  ImportIncomplete,
  DatatypeIncomplete,
  PropertyIncomplete,
  TypeMissing,
  EnumIncomplete,
  EnumValueIncomplete,
  InvalidEnumValue,
  ServiceIncomplete,
  DependsIncomplete,
  CallIncomplete,
  EventIncomplete,
  ArgumentIdentIncomplete,
  AttributeArgumentIncomplete,
  AttributeIncomplete,
  NameIncomplete,
  UnexpectedElement,
  Other,
};

// Owns its payload and span text; refers to neither the input nor the pairs.
struct ParseError {
  ParseErrorKind kind = ParseErrorKind::Other;
  std::string payload;    // empty for the kinds without one
  std::string span_text;  // debug text of the offending span; empty for Other
};

// 'Span { str: "a\"b", start: 10, end: 13 }'.
void append_span_debug_text(const Span& span, std::string& out);

// An error naming the pair whose span is given.
ParseError parse_error_new(ParseErrorKind kind, const Span& span, std::string payload = {});

// An Other error: a syntax-error text or a file-reading failure.
ParseError parse_error_other(std::string text);

// The message of the error, e.g. "Property incomplete. (Span { ... })" or
// "Other(<text>)". No line feed is added.
std::string parse_error_display(const ParseError& error);

}  // namespace vok

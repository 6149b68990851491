#include "vok/parse_error.hpp"

#include <string>
#include <utility>

#include "vok/data/debug_text.hpp"
#include "vok/data/decimal.hpp"

namespace vok {

void append_span_debug_text(const Span& span, std::string& out) {
  out += "Span { str: ";
  append_quoted(span.text, out);
  out += ", start: ";
  append_decimal(out, span.start);
  out += ", end: ";
  append_decimal(out, span.end);
  out += " }";
}

ParseError parse_error_new(ParseErrorKind kind, const Span& span, std::string payload) {
  ParseError error{kind, std::move(payload), {}};
  append_span_debug_text(span, error.span_text);
  return error;
}

ParseError parse_error_other(std::string text) {
  return ParseError{ParseErrorKind::Other, std::move(text), {}};
}

namespace {

// The text before the span of each kind that has a plain "(S)" tail.
std::string_view incomplete_prefix(ParseErrorKind kind) {
  switch (kind) {
    case ParseErrorKind::ImportIncomplete: return "Import incomplete. (";
    case ParseErrorKind::DatatypeIncomplete: return "Datatype incomplete. (";
    case ParseErrorKind::PropertyIncomplete: return "Property incomplete. (";
    case ParseErrorKind::EnumIncomplete: return "Incomplete enum. (";
    case ParseErrorKind::EnumValueIncomplete: return "Incomplete enum value. (";
    case ParseErrorKind::ServiceIncomplete: return "Service incomplete. (";
    case ParseErrorKind::DependsIncomplete: return "Depends incomplete. (";
    case ParseErrorKind::CallIncomplete: return "Call incomplete. (";
    case ParseErrorKind::EventIncomplete: return "Event incomplete. (";
    case ParseErrorKind::ArgumentIdentIncomplete: return "Argument ident incomplete. (";
    case ParseErrorKind::AttributeArgumentIncomplete: return "Attribute argument incomplete. (";
    case ParseErrorKind::AttributeIncomplete: return "Attribute incomplete. (";
    case ParseErrorKind::NameIncomplete: return "Name incomplete. (";
    default: return {};
  }
}

}  // namespace

std::string parse_error_display(const ParseError& error) {
  std::string out;
  switch (error.kind) {
    case ParseErrorKind::TypeMissing:
      out += "Type missing after ";
      out += error.payload;
      out += ". (";
      append_quoted(error.span_text, out);
      out += ')';
      return out;
    case ParseErrorKind::InvalidEnumValue:
      out += "Invalid enum value. ";
      break;
    case ParseErrorKind::UnexpectedElement:
      out += "Unexpected element ";
      break;
    case ParseErrorKind::Other:
      out += "Other(";
      out += error.payload;
      out += ')';
      return out;
    default:
      out += incomplete_prefix(error.kind);
      out += error.span_text;
      out += ')';
      return out;
  }
  out += error.payload;
  out += " (";
  out += error.span_text;
  out += ')';
  return out;
}

}  // namespace vok

// Pieces of the pair walk shared between the top-level walk, the service
// walk and their tests. Not part of the library's interface.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vok/ast.hpp"
#include "vok/data/records.hpp"
#include "vok/grammar.hpp"
#include "vok/names.hpp"
#include "vok/parse_error.hpp"

namespace vok::walk_detail {

// The next pair of `pairs` that is not a documentation comment. Comments
// standing between the tokens of one element carry no meaning and are
// passed over, so they never take the place of a token.
inline std::optional<Pair> next_non_comment(Pairs& pairs) {
  while (auto pair = pairs.next()) {
    if (pair->rule() != Rule::COMMENT) return pair;
  }
  return std::nullopt;
}

// The text of a COMMENT pair after its "///", trimmed of White_Space.
std::string_view comment_text(std::string_view comment);

// A type pair's text with every documentation comment inside it removed and
// every run of White_Space collapsed to one space, so "list  of X" and a
// type broken over lines read like "list of X". Returns a view into the
// pair's text when nothing had to change, else into `scratch`.
std::string_view type_text(Pair typ, std::string& scratch);

// The TypeName of a type pair.
TypeName make_type_name(Pair typ, std::vector<Attribute> attributes, std::string& scratch);

// An enum value's number: decimal digits only, into a signed 64-bit value.
// Fails with "invalid digit found in string" or "number too large to fit in
// target type".
std::expected<std::int64_t, std::string_view> read_enum_number(std::string_view digits);

// The number pair's text with documentation comments removed and trailing
// White_Space trimmed.
std::string_view number_text(Pair number, std::string& scratch);

// Writes the coloured warning for the deprecated `handles` keyword to file
// descriptor 2; aborts the call when the message cannot be written.
void write_deprecation_warning();

// The name and attributes at the start of `element`, read from `inner` (its
// inner pairs); `incomplete` names the failure when the element holds no
// pair to read them from.
std::expected<NameAndAttributes, ParseError> element_head(Pair element, Pairs& inner,
                                                          ParseErrorKind incomplete);

// The service step: one service pair to one AstElement::Service. `scratch`
// is working space for type texts, reused across the whole walk.
std::expected<AstElement, ParseError> walk_service(Pair service, std::string& scratch);

// Payloads of UnexpectedElement errors.
std::string unexpected_in_service(std::string_view service, Pair pair);
std::string unexpected_in_member(std::string_view kind, std::string_view member,
                                 std::string_view service, Pair pair);
std::string unexpected_in_argument(std::string_view kind, std::string_view member,
                                   std::string_view service, const Pairs& following);

}  // namespace vok::walk_detail

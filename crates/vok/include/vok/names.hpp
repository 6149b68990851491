// Element names and attribute lists, read by the position of pairs.
#pragma once

#include <expected>
#include <string>
#include <utility>
#include <vector>

#include "vok/data/records.hpp"
#include "vok/grammar.hpp"
#include "vok/parse_error.hpp"

namespace vok {

struct NameAndAttributes {
  std::string name;
  std::vector<Attribute> attributes;
};

// `first` is the element's first inner pair, already taken from `rest`. When
// it is an attributes pair its attributes are read and the next pair of
// `rest` that is not a documentation comment gives the name (whatever its
// rule); otherwise `first` is the name. Comments between the tokens of an
// element carry no meaning, so they never stand in for the name.
//
// Errors: NameIncomplete (an attributes pair and nothing after it),
// AttributeIncomplete (an attribute pair without a name pair),
// AttributeArgumentIncomplete (an argument pair without a name pair).
std::expected<NameAndAttributes, ParseError> parse_name_and_attributes(Pair first, Pairs& rest);

// The attributes of one attributes pair (its rule is not looked at).
std::expected<std::vector<Attribute>, ParseError> parse_attributes(Pair group);

// One Attribute per pair of `pairs` other than COMMENT pairs, in order, or
// the first error. An argument's value is the text inside its string's
// quotes, escapes as written.
std::expected<std::vector<Attribute>, ParseError> build_attribute_list(Pairs pairs);

}  // namespace vok

#include "vok/names.hpp"

#include <utility>

#include "walk_detail.hpp"

namespace vok {

using walk_detail::next_non_comment;

std::expected<NameAndAttributes, ParseError> parse_name_and_attributes(Pair first, Pairs& rest) {
  if (first.rule() != Rule::attributes) {
    return NameAndAttributes{std::string(first.text()), {}};
  }
  auto attributes = parse_attributes(first);
  if (!attributes) return std::unexpected(std::move(attributes.error()));
  const auto name = next_non_comment(rest);
  if (!name) return std::unexpected(parse_error_new(ParseErrorKind::NameIncomplete, first.span()));
  return NameAndAttributes{std::string(name->text()), std::move(*attributes)};
}

std::expected<std::vector<Attribute>, ParseError> parse_attributes(Pair group) {
  return build_attribute_list(group.inner());
}

namespace {

// The text from the first to the last inner pair of `pair`; empty without
// inner pairs.
std::string_view covered_text(Pair pair) {
  Pairs inner = pair.inner();
  auto first = inner.next();
  if (!first) return {};
  std::size_t end = first->end();
  while (auto more = inner.next()) end = more->end();
  return pair.text().substr(first->start() - pair.start(), end - first->start());
}

}  // namespace

std::expected<std::vector<Attribute>, ParseError> build_attribute_list(Pairs pairs) {
  std::vector<Attribute> result;
  result.reserve(pairs.count(Rule::attribute));
  while (auto attribute = next_non_comment(pairs)) {
    Pairs inner = attribute->inner();
    const auto name = next_non_comment(inner);
    if (!name) return std::unexpected(parse_error_new(ParseErrorKind::AttributeIncomplete, attribute->span()));
    std::vector<Parameter> parameters;
    parameters.reserve(inner.count(Rule::attr_argument));
    while (auto argument = next_non_comment(inner)) {
      Pairs parts = argument->inner();
      const auto parameter_name = next_non_comment(parts);
      if (!parameter_name) {
        return std::unexpected(
            parse_error_new(ParseErrorKind::AttributeArgumentIncomplete, argument->span()));
      }
      Parameter parameter{std::string(parameter_name->text()), std::nullopt};
      if (const auto value = next_non_comment(parts)) parameter.value.emplace(covered_text(*value));
      parameters.push_back(std::move(parameter));
    }
    result.push_back(Attribute{namespace_from_text(name->text()), std::move(parameters)});
  }
  return result;
}

}  // namespace vok

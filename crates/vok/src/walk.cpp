// The walk of the top-level pairs: comments, imports, data types and enums.
// Services are walked in service_walk.cpp.
#include <charconv>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "vok/data/unicode.hpp"
#include "vok/names.hpp"
#include "vok/parser.hpp"
#include "vok/type_text.hpp"
#include "walk_detail.hpp"

namespace vok::walk_detail {

std::string_view comment_text(std::string_view comment) {
  return trim_white_space(comment.substr(comment.size() < 3 ? comment.size() : 3));
}

namespace {

bool has_comment(Pair pair) {
  Pairs inner = pair.inner();
  while (auto child = inner.next()) {
    if (child->rule() == Rule::COMMENT || has_comment(*child)) return true;
  }
  return false;
}

// Appends the pieces of `pair`'s text, from offset `copied` on, that lie
// outside every COMMENT pair nested in it; `copied` ends after the last
// comment.
void append_without_comments(Pair pair, std::string_view text, std::size_t base, std::size_t& copied,
                             std::string& out) {
  Pairs inner = pair.inner();
  while (auto child = inner.next()) {
    if (child->rule() == Rule::COMMENT) {
      out.append(text.substr(copied - base, child->start() - copied));
      copied = child->end();
    } else {
      append_without_comments(*child, text, base, copied, out);
    }
  }
}

// The pair's text without the documentation comments inside it, as a view
// of the text itself when there are none.
std::string_view text_without_comments(Pair pair, std::string& scratch) {
  if (!has_comment(pair)) return pair.text();
  scratch.clear();
  const std::string_view text = pair.text();
  std::size_t copied = pair.start();
  append_without_comments(pair, text, pair.start(), copied, scratch);
  scratch.append(text.substr(copied - pair.start()));
  return scratch;
}

// True when every white-space run of `text` is already one ASCII space. Any
// byte past ASCII sends the text the long way, which knows all of White_Space.
bool white_space_collapsed(std::string_view text) {
  bool after_space = false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return false;
    const bool space = unicode::is_white_space(byte);
    if (space && (byte != ' ' || after_space)) return false;
    after_space = space;
  }
  return true;
}

}  // namespace

std::string_view type_text(Pair typ, std::string& scratch) {
  const std::string_view text = text_without_comments(typ, scratch);
  if (white_space_collapsed(text)) return text;
  std::string collapsed = whitespace_regex().replace_all(text, " ");
  scratch = std::move(collapsed);
  return scratch;
}

TypeName make_type_name(Pair typ, std::vector<Attribute> attributes, std::string& scratch) {
  const TypeText parsed = parse_type_name(type_text(typ, scratch));
  return TypeName{namespace_from_text(parsed.name), parsed.is_list, parsed.count, std::move(attributes), {}};
}

std::string_view number_text(Pair number, std::string& scratch) {
  return trim_white_space(text_without_comments(number, scratch));
}

std::expected<std::int64_t, std::string_view> read_enum_number(std::string_view digits) {
  // The InvalidEnumValue messages end in these texts, which tests and
  // callers match exactly.
  constexpr std::string_view invalid_digit = "invalid digit found in string";
  constexpr std::string_view too_large = "number too large to fit in target type";
  if (digits.empty()) return 0;
  // A signed read would take a leading '-'; the text must start with a digit.
  if (digits.front() < '0' || digits.front() > '9') return std::unexpected(invalid_digit);
  std::int64_t value = 0;
  const char* const end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  // An overflow lies inside the leading digit run, so reading from the left
  // it comes before any stray character after the run.
  if (error == std::errc::result_out_of_range) return std::unexpected(too_large);
  if (stop != end) return std::unexpected(invalid_digit);
  return value;
}

std::expected<NameAndAttributes, ParseError> element_head(Pair element, Pairs& inner,
                                                          ParseErrorKind incomplete) {
  const auto first = next_non_comment(inner);
  if (!first) return std::unexpected(parse_error_new(incomplete, element.span()));
  return parse_name_and_attributes(*first, inner);
}

}  // namespace vok::walk_detail

namespace vok {

namespace {

using namespace walk_detail;

// Every walk function reports its failure through this alias.
template <class T>
using Result = std::expected<T, ParseError>;

Result<AstElement> walk_import(Pair import) {
  Pairs inner = import.inner();
  auto head = element_head(import, inner, ParseErrorKind::ImportIncomplete);
  if (!head) return std::unexpected(std::move(head.error()));
  return AstElement{AstElement::Import{Import{namespace_from_text(head->name), std::move(head->attributes)}}};
}

// Walks the members of a data or enum body. The comments met before a member
// are handed to it; those after the last member are dropped.
template <class ReadMember>
std::optional<ParseError> walk_members(Pairs& inner, ReadMember read_member) {
  std::vector<std::string> pending;
  while (auto member = inner.next()) {
    if (member->rule() == Rule::COMMENT) {
      pending.emplace_back(comment_text(member->text()));
      continue;
    }
    if (auto error = read_member(*member, std::move(pending))) return error;
    pending.clear();
  }
  return std::nullopt;
}

Result<AstElement> walk_data(Pair data, std::string& scratch) {
  Pairs inner = data.inner();
  auto head = element_head(data, inner, ParseErrorKind::DatatypeIncomplete);
  if (!head) return std::unexpected(std::move(head.error()));
  DataType record;
  record.attributes = std::move(head->attributes);
  record.properties.reserve(inner.count(Rule::property));
  auto error = walk_members(inner, [&](Pair member, std::vector<std::string> comments) -> std::optional<ParseError> {
    Pairs parts = member.inner();
    auto property = element_head(member, parts, ParseErrorKind::PropertyIncomplete);
    if (!property) return std::move(property.error());
    const auto typ = next_non_comment(parts);
    if (!typ) return parse_error_new(ParseErrorKind::TypeMissing, member.span(), property->name);
    TypeName type = make_type_name(*typ, std::move(property->attributes), scratch);
    type.comments = std::move(comments);
    record.properties.emplace_back(std::move(property->name), std::move(type));
    return std::nullopt;
  });
  if (error) return std::unexpected(std::move(*error));
  return AstElement{AstElement::DataType{std::move(head->name), std::move(record)}};
}

Result<AstElement> walk_enum(Pair enum_pair, std::string& scratch) {
  Pairs inner = enum_pair.inner();
  auto head = element_head(enum_pair, inner, ParseErrorKind::EnumIncomplete);
  if (!head) return std::unexpected(std::move(head.error()));
  Enum record;
  record.attributes = std::move(head->attributes);
  record.values.reserve(inner.count(Rule::enum_value));
  auto error = walk_members(inner, [&](Pair member, std::vector<std::string> comments) -> std::optional<ParseError> {
    Pairs parts = member.inner();
    auto value_head = element_head(member, parts, ParseErrorKind::EnumValueIncomplete);
    if (!value_head) return std::move(value_head.error());
    EnumValue value;
    if (const auto number = next_non_comment(parts)) {
      const auto read = read_enum_number(number_text(*number, scratch));
      if (!read) return parse_error_new(ParseErrorKind::InvalidEnumValue, member.span(), std::string(read.error()));
      value.value = *read;
    }
    value.attributes = std::move(value_head->attributes);
    value.comments = std::move(comments);
    record.values.emplace_back(std::move(value_head->name), std::move(value));
    return std::nullopt;
  });
  if (error) return std::unexpected(std::move(*error));
  return AstElement{AstElement::Enum{std::move(head->name), std::move(record)}};
}

}  // namespace

std::expected<std::vector<AstElement>, ParseError> parse_raw(std::string_view text) {
  auto tree = run_grammar(text);
  if (!tree) return std::unexpected(parse_error_other(syntax_error_text(text, tree.error())));

  std::vector<AstElement> items;
  std::string scratch;
  Pairs top = tree->top_level();
  items.reserve(top.count());  // at most one item a pair: the closing EOI makes none
  while (auto pair = top.next()) {
    Result<AstElement> item;
    switch (pair->rule()) {
      case Rule::COMMENT:
        items.push_back(AstElement{AstElement::Comment{std::string(comment_text(pair->text()))}});
        continue;
      case Rule::import: item = walk_import(*pair); break;
      case Rule::data: item = walk_data(*pair, scratch); break;
      case Rule::enum_: item = walk_enum(*pair, scratch); break;
      case Rule::service: item = walk_service(*pair, scratch); break;
      default: continue;  // EOI
    }
    if (!item) return std::unexpected(std::move(item.error()));
    items.push_back(std::move(*item));
  }
  return items;
}

}  // namespace vok

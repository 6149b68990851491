// Rule names and the views over a run's mark list.
#include <array>

#include "vok/data/decimal.hpp"
#include "vok/grammar.hpp"

namespace vok {

namespace {

constexpr std::array<std::string_view, 34> kRuleNames = {
    "EOI",      "ws",       "WHITESPACE", "COMMENT",   "doc_comment",
    "file",     "import",   "data",       "service",   "enum_",
    "property", "enum_value", "handler",  "function",  "event",
    "depends",  "arguments", "argument",  "typ",       "typename",
    "path",     "ident",    "attributes", "attribute", "attr_arguments",
    "attr_argument", "number", "digit",   "string",    "chars",
    "char",     "quote",    "ASCII_ALPHA_UNDER", "ASCII_ALPHANUMERIC_UNDER",
};
static_assert(static_cast<std::size_t>(Rule::ASCII_ALPHANUMERIC_UNDER) + 1 == kRuleNames.size());

}  // namespace

std::string_view rule_name(Rule rule) {
  const auto index = static_cast<std::size_t>(rule);
  return index < kRuleNames.size() ? kRuleNames[index] : std::string_view("?");
}

void Pair::append_display(std::string& out) const {
  out += rule_name(rule());
  out += '(';
  append_decimal(out, start());
  out += ", ";
  append_decimal(out, end());
  const Pairs children = inner();
  if (!children.empty()) {
    out += ", ";
    children.append_display(out);
  }
  out += ')';
}

std::string Pair::display() const {
  std::string out;
  append_display(out);
  return out;
}

void Pairs::append_display(std::string& out) const {
  out += '[';
  Pairs rest = *this;
  bool first = true;
  while (const auto pair = rest.next()) {
    if (!first) out += ", ";
    first = false;
    pair->append_display(out);
  }
  out += ']';
}

std::string Pairs::display() const {
  std::string out;
  append_display(out);
  return out;
}

Pairs PairTree::top_level() const {
  return Pairs(marks_.data(), input_, 0, static_cast<std::uint32_t>(marks_.size()));
}

}  // namespace vok

// The walk of one service pair into AstElement::Service.
#include <string>
#include <utility>

#include "vok/names.hpp"
#include "walk_detail.hpp"

namespace vok::walk_detail {

namespace {

template <class T>
using Result = std::expected<T, ParseError>;

void append_quoted_name(std::string& out, std::string_view name) {
  out += '"';
  out += name;
  out += '"';
}

// "while parsing <what> "<member>" in service "<service>"! "
std::string member_context(std::string_view what, std::string_view member, std::string_view service) {
  std::string out = "while parsing ";
  out += what;
  out += ' ';
  append_quoted_name(out, member);
  out += " in service ";
  append_quoted_name(out, service);
  out += "! ";
  return out;
}

// Names the call or event whose pairs are being read, for the payloads.
struct MemberContext {
  std::string_view kind;  // "call" or "event"
  std::string_view name;
  std::string_view service;
};

ParseError unexpected(const Span& span, std::string payload) {
  return parse_error_new(ParseErrorKind::UnexpectedElement, span, std::move(payload));
}

// One argument pair: appends (name, type) to `arguments` for its identifier.
Result<void> walk_argument(Pair argument, const MemberContext& context,
                           std::vector<Named<TypeName>>& arguments, std::string& scratch) {
  std::vector<Attribute> attributes;
  Pairs parts = argument.inner();
  while (auto part = parts.next()) {
    switch (part->rule()) {
      case Rule::COMMENT:
        break;
      case Rule::attributes: {
        auto read = parse_attributes(*part);
        if (!read) return std::unexpected(std::move(read.error()));
        attributes = std::move(*read);
        break;
      }
      case Rule::ident: {
        const auto typ = next_non_comment(parts);
        if (!typ) return std::unexpected(parse_error_new(ParseErrorKind::ArgumentIdentIncomplete, argument.span()));
        arguments.emplace_back(std::string(part->text()), make_type_name(*typ, std::move(attributes), scratch));
        attributes.clear();
        break;
      }
      default:
        return std::unexpected(unexpected(
            argument.span(), unexpected_in_argument(context.kind, context.name, context.service, parts)));
    }
  }
  return {};
}

// A function or handler pair; `inner` has had its name taken.
Result<vok::Function> walk_call_body(Pairs inner, const MemberContext& context, std::string& scratch) {
  vok::Function record;
  record.arguments.reserve(inner.count(Rule::argument));
  while (auto part = inner.next()) {
    switch (part->rule()) {
      case Rule::COMMENT:
        break;
      case Rule::argument: {
        auto walked = walk_argument(*part, context, record.arguments, scratch);
        if (!walked) return std::unexpected(std::move(walked.error()));
        break;
      }
      case Rule::typ:
        record.return_type = make_type_name(*part, {}, scratch);
        break;
      default:
        return std::unexpected(
            unexpected(part->span(), unexpected_in_member(context.kind, context.name, context.service, *part)));
    }
  }
  return record;
}

Result<vok::Event> walk_event_body(Pairs inner, const MemberContext& context, std::string& scratch) {
  vok::Event record;
  record.arguments.reserve(inner.count(Rule::argument));
  while (auto part = inner.next()) {
    if (part->rule() == Rule::COMMENT) continue;
    if (part->rule() != Rule::argument) {
      return std::unexpected(
          unexpected(part->span(), unexpected_in_member(context.kind, context.name, context.service, *part)));
    }
    auto walked = walk_argument(*part, context, record.arguments, scratch);
    if (!walked) return std::unexpected(std::move(walked.error()));
  }
  return record;
}

Result<ServiceItem> walk_member(Pair member, std::string_view service, std::string& scratch) {
  Pairs inner = member.inner();
  switch (member.rule()) {
    case Rule::depends: {
      auto head = element_head(member, inner, ParseErrorKind::DependsIncomplete);
      if (!head) return std::unexpected(std::move(head.error()));
      return ServiceItem{ServiceItem::Dependency{
          Dependency{namespace_from_text(head->name), std::move(head->attributes), {}}}};
    }
    case Rule::handler:
    case Rule::function: {
      auto head = element_head(member, inner, ParseErrorKind::CallIncomplete);
      if (!head) return std::unexpected(std::move(head.error()));
      auto record = walk_call_body(inner, {"call", head->name, service}, scratch);
      if (!record) return std::unexpected(std::move(record.error()));
      record->attributes = std::move(head->attributes);
      return ServiceItem{ServiceItem::Function{std::move(head->name), std::move(*record)}};
    }
    case Rule::event: {
      auto head = element_head(member, inner, ParseErrorKind::EventIncomplete);
      if (!head) return std::unexpected(std::move(head.error()));
      auto record = walk_event_body(inner, {"event", head->name, service}, scratch);
      if (!record) return std::unexpected(std::move(record.error()));
      record->attributes = std::move(head->attributes);
      return ServiceItem{ServiceItem::Event{std::move(head->name), std::move(*record)}};
    }
    default:
      return std::unexpected(unexpected(member.span(), unexpected_in_service(service, member)));
  }
}

}  // namespace

std::string unexpected_in_service(std::string_view service, Pair pair) {
  std::string out = "while parsing service ";
  append_quoted_name(out, service);
  out += "! ";
  pair.append_display(out);
  return out;
}

std::string unexpected_in_member(std::string_view kind, std::string_view member, std::string_view service,
                                 Pair pair) {
  std::string out = member_context(kind, member, service);
  pair.append_display(out);
  return out;
}

std::string unexpected_in_argument(std::string_view kind, std::string_view member, std::string_view service,
                                   const Pairs& following) {
  std::string out = member_context("argument for " + std::string(kind), member, service);
  following.append_display(out);
  return out;
}

std::expected<AstElement, ParseError> walk_service(Pair service, std::string& scratch) {
  Pairs inner = service.inner();
  auto head = element_head(service, inner, ParseErrorKind::ServiceIncomplete);
  if (!head) return std::unexpected(std::move(head.error()));
  AstElement::Service result{std::move(head->name), {}, std::move(head->attributes)};
  result.items.reserve(inner.count());
  while (auto member = inner.next()) {
    if (member->rule() == Rule::COMMENT) {
      result.items.push_back(ServiceItem{ServiceItem::Comment{std::string(comment_text(member->text()))}});
      continue;
    }
    // Warned before anything of the member is read, so a member that then
    // fails has still been warned about.
    if (member->rule() == Rule::handler) write_deprecation_warning();
    auto item = walk_member(*member, result.name, scratch);
    if (!item) return std::unexpected(std::move(item.error()));
    result.items.push_back(std::move(*item));
  }
  return AstElement{std::move(result)};
}

}  // namespace vok::walk_detail

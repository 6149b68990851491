#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "case_names.hpp"
#include "stderr_capture.hpp"
#include "walk_detail.hpp"
#include "vok/parser.hpp"

namespace vok {
namespace {

using Strings = std::vector<std::string>;

std::vector<AstElement> walk(std::string_view text) {
  auto items = parse_raw(text);
  EXPECT_TRUE(items.has_value()) << parse_error_display(items.error());
  return items ? std::move(*items) : std::vector<AstElement>{};
}

std::string error_of(std::string_view text) {
  testing::StderrRedirect quiet;
  auto items = parse_raw(text);
  EXPECT_FALSE(items.has_value());
  return items ? "" : parse_error_display(items.error());
}

// The one item of `items`, which must be of the kind asked for.
template <class Item>
Item only(std::vector<AstElement> items) {
  EXPECT_EQ(items.size(), 1u);
  if (items.size() != 1 || !std::holds_alternative<Item>(items[0].value)) {
    ADD_FAILURE() << "not the expected single item";
    return Item{};
  }
  return std::move(std::get<Item>(items[0].value));
}

// Walks `text` as one module and returns it; the usual way to look at a
// service, whose body comments the assembly attaches.
VokModule module_of(std::string_view text) { return build_module(Namespace{{"t"}}, walk(text)); }

Strings attribute_names(const std::vector<Attribute>& attributes) {
  Strings names;
  for (const Attribute& a : attributes) {
    std::string joined;
    for (const auto& c : a.name.components) joined += (joined.empty() ? "" : "::") + c;
    names.push_back(joined);
  }
  return names;
}

TEST(TopLevel, CommentsBecomeItemsWithTrimmedText) {
  EXPECT_TRUE(walk("").empty());
  const auto items = walk("  /// a\n///\n////x\r\n\n/// \t b c \u3000\n");
  Strings texts;
  for (const auto& item : items) texts.push_back(std::get<AstElement::Comment>(item.value).text);
  EXPECT_EQ(texts, (Strings{"a", "", "/x", "b c"}));
}

TEST(TopLevel, SyntaxErrorIsAnOtherErrorWithTheSyntaxText) {
  auto items = parse_raw("data X { a: u32 };");
  ASSERT_FALSE(items.has_value());
  EXPECT_EQ(items.error().kind, ParseErrorKind::Other);
  EXPECT_TRUE(items.error().span_text.empty());
  EXPECT_EQ(items.error().payload, syntax_error_text("data X { a: u32 };", run_grammar("data X { a: u32 };").error()));
}

TEST(TopLevel, AnErrorInALaterItemReturnsOnlyTheError) {
  EXPECT_EQ(error_of("data A { x: T, }; enum E { A = 1 2, };"),
            R"(Invalid enum value. invalid digit found in string (Span { str: "A = 1 2,", start: 27, end: 35 }))");
}

struct ImportCase {
  std::string label;
  std::string text;
  Strings path;
  Strings attributes;
};

void PrintTo(const ImportCase& c, std::ostream* os) { print_quoted(c.text, os); }

class Import : public ::testing::TestWithParam<ImportCase> {};

TEST_P(Import, ReadsPathAndAttributesPastComments) {
  const auto import = only<AstElement::Import>(walk(GetParam().text));
  EXPECT_EQ(import.record.path.components, GetParam().path);
  EXPECT_EQ(attribute_names(import.record.attributes), GetParam().attributes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Import,
    ::testing::Values(
        ImportCase{"ThreePartPath", "import a::b::c;", {"a", "b", "c"}, {}},
        ImportCase{"NoSpaceAfterKeyword", "importa;", {"a"}, {}},
        ImportCase{"CommentBeforePath", "import /// x\na;", {"a"}, {}},
        ImportCase{"CommentAfterPath", "import a::b /// x\n;", {"a", "b"}, {}},
        ImportCase{"AttributeAndComments", "#[k] /// c\nimport /// d\nx;", {"x"}, {"k"}},
        ImportCase{"CommentsInsideAttributes", "#[ /// c\n a /// n\n, /// d\n b::k(x) /// e\n] import x;",
                   {"x"}, {"a", "b::k"}}),
    CaseLabel());

TEST(Attributes, ParametersKeepTheirTextAndSkipComments) {
  const auto import = only<AstElement::Import>(
      walk("#[a(b, k = \"x\", d::e = \"\", q = \"a\\\"b\", r /// c\n = /// d\n \"v\", s /// e\n)] import x;"));
  ASSERT_EQ(import.record.attributes.size(), 1u);
  const auto& parameters = import.record.attributes[0].parameters;
  ASSERT_EQ(parameters.size(), 6u);
  EXPECT_EQ(parameters[0].name, "b");
  EXPECT_FALSE(parameters[0].value.has_value());
  EXPECT_EQ(parameters[1].value, std::optional<std::string>("x"));
  EXPECT_EQ(parameters[2].name, "d::e");
  EXPECT_EQ(parameters[2].value, std::optional<std::string>(""));
  EXPECT_EQ(parameters[3].value, std::optional<std::string>("a\\\"b"));
  EXPECT_EQ(parameters[4].value, std::optional<std::string>("v"));
  EXPECT_EQ(parameters[5].name, "s");
  EXPECT_FALSE(parameters[5].value.has_value());
}

TEST(DataType, CommentsGoToTheNextPropertyOnlyAtBodyLevel) {
  const auto data = only<AstElement::DataType>(walk(
      "#[x] /// dropped\ndata /// dropped\nD /// c1\n{ /// c2\n a /// dropped\n: /// dropped\n T, b: U, "
      "/// c3\n #[p] /// dropped\n c: V, /// tail\n} /// tail\n;"));
  EXPECT_EQ(data.name, "D");
  EXPECT_EQ(attribute_names(data.record.attributes), (Strings{"x"}));
  ASSERT_EQ(data.record.properties.size(), 3u);
  const auto& [a, a_type] = data.record.properties[0];
  EXPECT_EQ(a, "a");
  EXPECT_EQ(a_type.typ.components, (Strings{"T"}));
  EXPECT_EQ(a_type.comments, (Strings{"c1", "c2"}));
  EXPECT_TRUE(data.record.properties[1].second.comments.empty());
  EXPECT_EQ(data.record.properties[2].first, "c");
  EXPECT_EQ(data.record.properties[2].second.comments, (Strings{"c3"}));
  EXPECT_EQ(attribute_names(data.record.properties[2].second.attributes), (Strings{"p"}));
}

struct TypeCase {
  std::string label;
  std::string written;
  Strings typ;
  bool is_list;
  std::optional<std::uint64_t> count;
};

void PrintTo(const TypeCase& c, std::ostream* os) { print_quoted(c.written, os); }

// A type written in property, argument and return position reads the same.
class TypeText : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeText, ReadsAlikeInEveryPosition) {
  const TypeCase& c = GetParam();
  const auto check = [&](const TypeName& type, const char* where) {
    EXPECT_EQ(type.typ.components, c.typ) << where;
    EXPECT_EQ(type.is_list, c.is_list) << where;
    EXPECT_EQ(type.count, c.count) << where;
  };
  const auto data = only<AstElement::DataType>(walk("data D { p: " + c.written + ", };"));
  ASSERT_EQ(data.record.properties.size(), 1u);
  check(data.record.properties[0].second, "property");

  const VokModule module = module_of("service S { fn f(a: " + c.written + ") -> " + c.written +
                                     "; event e(a: " + c.written + "); };");
  ASSERT_EQ(module.services.size(), 1u);
  const Service& s = module.services[0].second;
  ASSERT_EQ(s.functions.size(), 1u);
  ASSERT_EQ(s.functions[0].second.arguments.size(), 1u);
  check(s.functions[0].second.arguments[0].second, "argument");
  ASSERT_TRUE(s.functions[0].second.return_type.has_value());
  check(*s.functions[0].second.return_type, "return type");
  ASSERT_EQ(s.events.size(), 1u);
  ASSERT_EQ(s.events[0].second.arguments.size(), 1u);
  check(s.events[0].second.arguments[0].second, "event argument");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeText,
    ::testing::Values(TypeCase{"Plain", "u8", {"u8"}, false, std::nullopt},
                      TypeCase{"Path", "a::b", {"a", "b"}, false, std::nullopt},
                      TypeCase{"List", "list of Foo", {"Foo"}, true, std::nullopt},
                      TypeCase{"ListWithTwoSpaces", "list  of Foo", {"Foo"}, true, std::nullopt},
                      TypeCase{"ListAcrossLines", "list\r\n\tof  Foo", {"Foo"}, true, std::nullopt},
                      TypeCase{"ListWithComment", "list /// c\nof Foo", {"Foo"}, true, std::nullopt},
                      TypeCase{"ListOfPathWithTwoComments", "list/// c\n/// d\nof x::y", {"x", "y"}, true,
                               std::nullopt},
                      TypeCase{"ListofWithoutSpace", "listof Foo", {"listof Foo"}, false, std::nullopt},
                      TypeCase{"NameStartingWithList", "listing", {"listing"}, false, std::nullopt},
                      TypeCase{"Counted", "5 of Foo", {"Foo"}, true, 5},
                      TypeCase{"CountedAcrossLines", "12\n of  Foo", {"Foo"}, true, 12},
                      TypeCase{"CountedWithComment", "5 /// c\nof Foo", {"Foo"}, true, 5},
                      TypeCase{"CountWithoutSpace", "5of Foo", {"5of Foo"}, false, std::nullopt},
                      TypeCase{"TwoNumbers", "1 2 of X", {"X"}, true, 2}),
                    CaseLabel());

TEST(Enum, ValuesCommentsAndAttributes) {
  const auto e = only<AstElement::Enum>(walk(
      "enum /// dropped\nE { /// c1\n A, B = 2, C = 5 , D = 15 , #[x] F /// dropped\n = /// dropped\n 7 /// dropped\n, "
      "G = 000000000000000000000000000001, H = 9223372036854775807, /// tail\n};"));
  EXPECT_EQ(e.name, "E");
  std::vector<std::optional<std::int64_t>> values;
  for (const auto& [name, value] : e.record.values) values.push_back(value.value);
  EXPECT_EQ(values, (std::vector<std::optional<std::int64_t>>{std::nullopt, 2, 5, 15, 7, 1, INT64_MAX}));
  EXPECT_EQ(e.record.values[0].second.comments, (Strings{"c1"}));
  EXPECT_TRUE(e.record.values[1].second.comments.empty());
  EXPECT_EQ(e.record.values[4].first, "F");
  EXPECT_EQ(attribute_names(e.record.values[4].second.attributes), (Strings{"x"}));
}

struct EnumErrorCase {
  std::string label;
  std::string text;
  std::string message;
};

void PrintTo(const EnumErrorCase& c, std::ostream* os) { print_quoted(c.text, os); }

class EnumError : public ::testing::TestWithParam<EnumErrorCase> {};

TEST_P(EnumError, NamesTheValue) { EXPECT_EQ(error_of(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Cases, EnumError,
    ::testing::Values(
        EnumErrorCase{"TooLarge", "enum E { A = 9223372036854775808, };",
                      R"(Invalid enum value. number too large to fit in target type (Span { str: "A = 9223372036854775808,", start: 9, end: 33 }))"},
        EnumErrorCase{"StrayDigit", "enum E { A = 1 2, };",
                      R"(Invalid enum value. invalid digit found in string (Span { str: "A = 1 2,", start: 9, end: 17 }))"},
        EnumErrorCase{"StrayDigitAfterComment", "enum E { A = 1 /// c\n2, };",
                      R"(Invalid enum value. invalid digit found in string (Span { str: "A = 1 /// c\n2,", start: 9, end: 23 }))"},
        // Overflow is met before the stray digit.
        EnumErrorCase{"OverflowBeforeStrayDigit", "enum E { A = 99999999999999999999 1, };",
                      R"(Invalid enum value. number too large to fit in target type (Span { str: "A = 99999999999999999999 1,", start: 9, end: 36 }))"}),
    CaseLabel());

// The digits come from the grammar, but the reader takes any text: a sign or
// a non-ASCII digit is an invalid digit, and of an overflow and a stray
// character the one met first from the left is reported.
struct EnumNumberCase {
  std::string label;
  std::string text;
  std::expected<std::int64_t, std::string_view> value;
};

class ReadEnumNumber : public ::testing::TestWithParam<EnumNumberCase> {};

TEST_P(ReadEnumNumber, ReadsTheWholeText) {
  EXPECT_EQ(walk_detail::read_enum_number(GetParam().text), GetParam().value);
}

constexpr std::string_view kInvalidDigit = "invalid digit found in string";
constexpr std::string_view kTooLarge = "number too large to fit in target type";

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadEnumNumber,
    ::testing::Values(
        EnumNumberCase{"Empty", "", 0}, EnumNumberCase{"Zero", "0", 0},
        EnumNumberCase{"LeadingZeros", "0000000000000000000000009223372036854775807", INT64_MAX},
        EnumNumberCase{"Largest", "9223372036854775807", INT64_MAX},
        EnumNumberCase{"OneTooLarge", "9223372036854775808", std::unexpected(kTooLarge)},
        EnumNumberCase{"OverflowAtTheLastDigit", "92233720368547758070", std::unexpected(kTooLarge)},
        EnumNumberCase{"Minus", "-1", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"Plus", "+1", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"LeadingSpace", " 1", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"TrailingSpace", "1 ", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"ArabicIndicDigit", "1\u0661", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"LargestThenLetter", "9223372036854775807x", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"OverflowThenLetter", "9223372036854775808x", std::unexpected(kTooLarge)},
        EnumNumberCase{"LetterThenOverflow", "x99999999999999999999", std::unexpected(kInvalidDigit)},
        EnumNumberCase{"MinusThenOverflow", "-99999999999999999999", std::unexpected(kInvalidDigit)}),
    CaseLabel());

TEST(Service, MembersAndCommentsInTextOrder) {
  testing::StderrRedirect capture;
  const auto s = only<AstElement::Service>(walk(
      "#[a] service /// dropped\nS /// c0\n{ /// c1\n depends /// dropped\n on /// dropped\n x::y; "
      "fn f(); handles h(a: T) -> R; event e(); /// c2\n};"));
  EXPECT_EQ(s.name, "S");
  EXPECT_EQ(attribute_names(s.attributes), (Strings{"a"}));
  std::vector<std::string> kinds;
  for (const auto& item : s.items) {
    std::visit(
        [&](const auto& member) {
          using T = std::decay_t<decltype(member)>;
          if constexpr (std::is_same_v<T, ServiceItem::Comment>) kinds.push_back("#" + member.text);
          if constexpr (std::is_same_v<T, ServiceItem::Dependency>) kinds.push_back("dep");
          if constexpr (std::is_same_v<T, ServiceItem::Function>) kinds.push_back("fn " + member.name);
          if constexpr (std::is_same_v<T, ServiceItem::Event>) kinds.push_back("event " + member.name);
        },
        item.value);
  }
  EXPECT_EQ(kinds, (Strings{"#c0", "#c1", "dep", "fn f", "fn h", "event e", "#c2"}));
  EXPECT_EQ(std::get<ServiceItem::Dependency>(s.items[2].value).record.name.components, (Strings{"x", "y"}));
}

TEST(Service, AssembledCommentsGoToTheMemberAfterThem) {
  const VokModule module = module_of(
      "/// top\nservice S { /// c1\n /// c2\n fn f(); /// c3\n event e(); /// c4\n};");
  const Service& s = module.services.at(0).second;
  EXPECT_EQ(s.functions.at(0).second.comments, (Strings{"c1", "c2"}));
  EXPECT_EQ(s.events.at(0).second.comments, (Strings{"c3"}));
}

TEST(Service, CommentsInsideACallAreDropped) {
  const VokModule module = module_of(
      "service S { fn /// k\n f( /// a\n #[x] /// b\n a /// c\n : /// d\n T /// e\n, b: U /// f\n) /// g\n -> "
      "/// h\n V /// i\n; event /// j\n e( /// k\n #[y] c: W /// l\n); };");
  const Service& s = module.services.at(0).second;
  const Function& f = s.functions.at(0).second;
  EXPECT_EQ(s.functions[0].first, "f");
  ASSERT_EQ(f.arguments.size(), 2u);
  EXPECT_EQ(f.arguments[0].first, "a");
  EXPECT_EQ(f.arguments[0].second.typ.components, (Strings{"T"}));
  EXPECT_EQ(attribute_names(f.arguments[0].second.attributes), (Strings{"x"}));
  EXPECT_EQ(f.arguments[1].first, "b");
  EXPECT_TRUE(f.arguments[1].second.attributes.empty());  // attributes belong to one argument only
  ASSERT_TRUE(f.return_type.has_value());
  EXPECT_EQ(f.return_type->typ.components, (Strings{"V"}));
  EXPECT_TRUE(f.comments.empty());
  const Event& e = s.events.at(0).second;
  EXPECT_EQ(s.events[0].first, "e");
  ASSERT_EQ(e.arguments.size(), 1u);
  EXPECT_EQ(attribute_names(e.arguments[0].second.attributes), (Strings{"y"}));
}

TEST(Service, FunctionWithoutReturnTypeOrArguments) {
  const VokModule module = module_of("service S { fn f( ); };");
  const Function& f = module.services.at(0).second.functions.at(0).second;
  EXPECT_TRUE(f.arguments.empty());
  EXPECT_FALSE(f.return_type.has_value());
}

const std::string kWarning =
    "\x1b[0m\x1b[33mUsing 'handlers' is deprecated and will be removed in future versions. Use 'fn' "
    "instead.\n\x1b[0m";

TEST(Service, EachHandlesMemberWarnsOnStandardError) {
  testing::StderrRedirect capture;
  const auto items = walk("service S { handles a(); fn b(); handles c(); };");
  EXPECT_EQ(capture.text(), kWarning + kWarning);
  ASSERT_EQ(only<AstElement::Service>(items).items.size(), 3u);
}

TEST(Service, WarningsBeforeAnErrorStayWritten) {
  testing::StderrRedirect capture;
  EXPECT_FALSE(parse_raw("service S { handles a(); }; enum E { A = 1 2, }; service T { handles b(); };"));
  EXPECT_EQ(capture.text(), kWarning);
}

// Pair trees that the grammar never makes, built mark by mark, to reach the
// defensive branches of the service walk.
class TreeBuilder {
 public:
  explicit TreeBuilder(std::string input) : input_(std::move(input)) {}
  TreeBuilder& open(Rule rule, std::size_t start) {
    open_.push_back({rule, static_cast<std::uint32_t>(marks_.size())});
    marks_.push_back(Mark{start, 0, rule, true});
    return *this;
  }
  TreeBuilder& close(std::size_t end) {
    const auto [rule, start_index] = open_.back();
    open_.pop_back();
    marks_[start_index].partner = static_cast<std::uint32_t>(marks_.size());
    marks_.push_back(Mark{end, start_index, rule, false});
    return *this;
  }
  TreeBuilder& leaf(Rule rule, std::size_t start, std::size_t end) { return open(rule, start).close(end); }
  Pair root() const { return Pair(marks_.data(), input_, 0); }

 private:
  std::string input_;
  std::vector<Mark> marks_;
  std::vector<std::pair<Rule, std::uint32_t>> open_;
};

std::string service_error(const TreeBuilder& tree) {
  std::string scratch;
  auto result = walk_detail::walk_service(tree.root(), scratch);
  EXPECT_FALSE(result.has_value());
  return result ? "" : parse_error_display(result.error());
}

TEST(UnexpectedElement, NamesServiceCallEventOrArgument) {
  //                  0         1         2         3
  //                  0123456789012345678901234567890123456
  const std::string text = "service S { fn f(#[x] a: T) x; };";
  TreeBuilder body_pair(text);
  body_pair.open(Rule::service, 0).leaf(Rule::ident, 8, 9).leaf(Rule::path, 12, 14).close(33);
  EXPECT_EQ(service_error(body_pair),
            R"(Unexpected element while parsing service "S"! path(12, 14) (Span { str: "fn", start: 12, end: 14 }))");

  TreeBuilder call_pair(text);
  call_pair.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  call_pair.open(Rule::function, 12).leaf(Rule::ident, 15, 16).leaf(Rule::path, 28, 29).close(30).close(33);
  EXPECT_EQ(service_error(call_pair),
            R"(Unexpected element while parsing call "f" in service "S"! path(28, 29) (Span { str: "x", start: 28, end: 29 }))");

  TreeBuilder event_pair(text);
  event_pair.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  event_pair.open(Rule::event, 12).leaf(Rule::ident, 15, 16).open(Rule::typ, 28).leaf(Rule::path, 28, 29);
  event_pair.close(29).close(30).close(33);
  EXPECT_EQ(service_error(event_pair),
            R"(Unexpected element while parsing event "f" in service "S"! typ(28, 29, [path(28, 29)]) (Span { str: "x", start: 28, end: 29 }))");

  TreeBuilder argument_pair(text);
  argument_pair.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  argument_pair.open(Rule::function, 12).leaf(Rule::ident, 15, 16);
  argument_pair.open(Rule::argument, 17).leaf(Rule::path, 19, 20).leaf(Rule::ident, 22, 23);
  argument_pair.open(Rule::typ, 25).leaf(Rule::path, 25, 26).close(26);
  argument_pair.close(26).close(30).close(33);
  EXPECT_EQ(service_error(argument_pair),
            R"(Unexpected element while parsing argument for call "f" in service "S"! [ident(22, 23), typ(25, 26, [path(25, 26)])] (Span { str: "#[x] a: T", start: 17, end: 26 }))");
}

TEST(UnexpectedElement, ArgumentOfAnEventWithNothingAfterTheOffendingPair) {
  const std::string text = "service S { event e(a: T); };";
  TreeBuilder tree(text);
  tree.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  tree.open(Rule::event, 12).leaf(Rule::ident, 18, 19);
  tree.open(Rule::argument, 20).leaf(Rule::number, 20, 21).close(24);
  tree.close(26).close(29);
  EXPECT_EQ(service_error(tree),
            R"(Unexpected element while parsing argument for event "e" in service "S"! [] (Span { str: "a: T", start: 20, end: 24 }))");
}

TEST(IncompleteElements, ReportTheElementThatLacksAPair) {
  const std::string text = "service S { fn f(a: T); };";
  TreeBuilder empty_service(text);
  empty_service.open(Rule::service, 0).leaf(Rule::COMMENT, 8, 9).close(26);
  EXPECT_EQ(service_error(empty_service),
            R"(Service incomplete. (Span { str: "service S { fn f(a: T); };", start: 0, end: 26 }))");

  TreeBuilder lone_ident(text);
  lone_ident.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  lone_ident.open(Rule::function, 12).leaf(Rule::ident, 15, 16);
  lone_ident.open(Rule::argument, 17).leaf(Rule::ident, 17, 18).close(21).close(23).close(26);
  EXPECT_EQ(service_error(lone_ident), R"(Argument ident incomplete. (Span { str: "a: T", start: 17, end: 21 }))");

  TreeBuilder attributes_only(text);
  attributes_only.open(Rule::service, 0).leaf(Rule::ident, 8, 9);
  attributes_only.open(Rule::function, 12).open(Rule::attributes, 12).close(14).close(23).close(26);
  EXPECT_EQ(service_error(attributes_only), R"(Name incomplete. (Span { str: "fn", start: 12, end: 14 }))");
}

}  // namespace
}  // namespace vok

#include "vok/data/debug_text.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vok {
namespace {

using namespace std::string_literals;

template <class Record>
std::string text_of(void (*write)(const Record&, std::string&), const Record& record) {
  std::string out;
  write(record, out);
  return out;
}

TypeName plain_type(std::string_view name) { return TypeName{.typ = namespace_from_text(name)}; }

constexpr std::string_view k_u8_text =
    R"(TypeName { typ: Namespace { components: ["u8"] }, is_list: false, count: None, )"
    R"(attributes: [], comments: [] })";

struct FormCase {
  std::string label;
  std::function<std::string()> write;
  std::string expected;
};

class RecordForm : public testing::TestWithParam<FormCase> {};

TEST_P(RecordForm, Text) { EXPECT_EQ(GetParam().write(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordForm,
    testing::Values(
        FormCase{"NamespaceOfTwo",
                 [] { return text_of(namespace_debug_text, namespace_from_text("a::b")); },
                 R"(Namespace { components: ["a", "b"] })"},
        FormCase{"NamespaceOfEmptyText",
                 [] { return text_of(namespace_debug_text, namespace_from_text("")); },
                 R"(Namespace { components: [""] })"},
        FormCase{"NamespaceWithoutComponents",
                 [] { return text_of(namespace_debug_text, Namespace{}); },
                 R"(Namespace { components: [] })"},
        FormCase{"PlainType", [] { return text_of(type_name_debug_text, plain_type("u8")); },
                 std::string(k_u8_text)},
        FormCase{"CountedType",
                 [] {
                   TypeName counted = plain_type("u8");
                   counted.is_list = true;
                   counted.count = 4;
                   return text_of(type_name_debug_text, counted);
                 },
                 R"(TypeName { typ: Namespace { components: ["u8"] }, is_list: true, )"
                 R"(count: Some(4), attributes: [], comments: [] })"},
        FormCase{"LargestCount",
                 [] {
                   TypeName counted = plain_type("u8");
                   counted.is_list = true;
                   counted.count = 18446744073709551615u;
                   return text_of(type_name_debug_text, counted);
                 },
                 R"(TypeName { typ: Namespace { components: ["u8"] }, is_list: true, )"
                 R"(count: Some(18446744073709551615), attributes: [], comments: [] })"},
        FormCase{"ParameterWithoutValue",
                 [] { return text_of(parameter_debug_text, Parameter{"n", std::nullopt}); },
                 R"(Parameter { name: "n", value: None })"},
        FormCase{"ParameterWithValue",
                 [] { return text_of(parameter_debug_text, Parameter{"n", "x"}); },
                 R"(Parameter { name: "n", value: Some("x") })"},
        FormCase{"ParameterWithEmptyValue",
                 [] { return text_of(parameter_debug_text, Parameter{"n", ""}); },
                 R"(Parameter { name: "n", value: Some("") })"},
        FormCase{"EnumValue",
                 [] { return text_of(enum_value_debug_text, EnumValue{.value = 3}); },
                 R"(EnumValue { value: Some(3), attributes: [], comments: [] })"},
        FormCase{"LargestEnumValue",
                 [] {
                   return text_of(enum_value_debug_text,
                                  EnumValue{.value = 9223372036854775807});
                 },
                 R"(EnumValue { value: Some(9223372036854775807), attributes: [], )"
                 R"(comments: [] })"},
        FormCase{"SmallestEnumValue",
                 [] {
                   return text_of(enum_value_debug_text,
                                  EnumValue{.value = INT64_MIN});
                 },
                 R"(EnumValue { value: Some(-9223372036854775808), attributes: [], )"
                 R"(comments: [] })"},
        FormCase{"EnumValueWithoutValue",
                 [] { return text_of(enum_value_debug_text, EnumValue{}); },
                 R"(EnumValue { value: None, attributes: [], comments: [] })"},
        FormCase{"FunctionWithOneArgument",
                 [] {
                   return text_of(function_debug_text,
                                  Function{.arguments = {{"a", plain_type("u8")}}});
                 },
                 R"(Function { arguments: [("a", )"s + std::string(k_u8_text) +
                     R"()], return_type: None, attributes: [], comments: [] })"}),
    [](const testing::TestParamInfo<FormCase>& row) { return row.param.label; });

// Every list holds something, so the field order of each record and the
// nesting of lists, pairs and optionals are pinned in one place.
TEST(RecordForm, WholeModule) {
  auto attribute = [](std::string_view name, std::vector<Parameter> parameters = {}) {
    return Attribute{namespace_from_text(name), std::move(parameters)};
  };
  const VokModule module{
      .namespace_ = namespace_from_text("a::b"),
      .imports = {{namespace_from_text("std::io"),
                   {attribute("since", {{"version", "1.0"}, {"flag", std::nullopt}})}}},
      .data_types = {{"Point",
                      {.properties = {{"x",
                                       {.typ = namespace_from_text("f32"),
                                        .is_list = true,
                                        .count = 2,
                                        .attributes = {attribute("unit")},
                                        .comments = {"x axis"}}}},
                       .attributes = {attribute("derive")}}}},
      .enums = {{"Color",
                 {.values = {{"Red", {-1, {attribute("old")}, {"warm"}}}},
                  .attributes = {attribute("repr", {{"u8", std::nullopt}})}}}},
      .services = {{"Shop",
                    {.dependencies = {{namespace_from_text("db::Store"),
                                       {attribute("lazy")},
                                       {"storage"}}},
                     .functions = {{"buy",
                                    {.arguments = {{"item", plain_type("u8")}},
                                     .return_type = plain_type("bool"),
                                     .attributes = {attribute("async")},
                                     .comments = {"buys"}}}},
                     .events = {{"sold",
                                 {.arguments = {{"n", plain_type("u64")}},
                                  .attributes = {attribute("public")},
                                  .comments = {"after"}}}},
                     .attributes = {attribute("version", {{"n", "2"}})}}}},
  };
  const std::string expected =
      R"(VokModule { namespace: Namespace { components: ["a", "b"] }, )"
      R"(imports: [Import { path: Namespace { components: ["std", "io"] }, )"
      R"(attributes: [Attribute { name: Namespace { components: ["since"] }, )"
      R"(parameters: [Parameter { name: "version", value: Some("1.0") }, )"
      R"(Parameter { name: "flag", value: None }] }] }], )"
      R"(data_types: [("Point", DataType { properties: [("x", TypeName { )"
      R"(typ: Namespace { components: ["f32"] }, is_list: true, count: Some(2), )"
      R"(attributes: [Attribute { name: Namespace { components: ["unit"] }, parameters: [] }], )"
      R"(comments: ["x axis"] })], )"
      R"(attributes: [Attribute { name: Namespace { components: ["derive"] }, )"
      R"(parameters: [] }] })], )"
      R"(enums: [("Color", Enum { values: [("Red", EnumValue { value: Some(-1), )"
      R"(attributes: [Attribute { name: Namespace { components: ["old"] }, parameters: [] }], )"
      R"(comments: ["warm"] })], )"
      R"(attributes: [Attribute { name: Namespace { components: ["repr"] }, )"
      R"(parameters: [Parameter { name: "u8", value: None }] }] })], )"
      R"(services: [("Shop", Service { )"
      R"(dependencies: [Dependency { name: Namespace { components: ["db", "Store"] }, )"
      R"(attributes: [Attribute { name: Namespace { components: ["lazy"] }, parameters: [] }], )"
      R"(comments: ["storage"] }], )"
      R"(functions: [("buy", Function { arguments: [("item", TypeName { )"
      R"(typ: Namespace { components: ["u8"] }, is_list: false, count: None, )"
      R"(attributes: [], comments: [] })], )"
      R"(return_type: Some(TypeName { typ: Namespace { components: ["bool"] }, )"
      R"(is_list: false, count: None, attributes: [], comments: [] }), )"
      R"(attributes: [Attribute { name: Namespace { components: ["async"] }, parameters: [] }], )"
      R"(comments: ["buys"] })], )"
      R"(events: [("sold", Event { arguments: [("n", TypeName { )"
      R"(typ: Namespace { components: ["u64"] }, is_list: false, count: None, )"
      R"(attributes: [], comments: [] })], )"
      R"(attributes: [Attribute { name: Namespace { components: ["public"] }, parameters: [] }], )"
      R"(comments: ["after"] })], )"
      R"(attributes: [Attribute { name: Namespace { components: ["version"] }, )"
      R"(parameters: [Parameter { name: "n", value: Some("2") }] }] })] })";
  EXPECT_EQ(text_of(vok_module_debug_text, module), expected);
}

TEST(RecordForm, AppendsWithoutTouchingWhatIsThere) {
  std::string out = "before|";
  parameter_debug_text(Parameter{"n", std::nullopt}, out);
  append_quoted("x", out);
  EXPECT_EQ(out, R"(before|Parameter { name: "n", value: None }"x")");
}

struct QuoteCase {
  std::string label;
  std::string text;
  std::string expected;
};

class QuotedText : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuotedText, Escapes) {
  std::string out;
  append_quoted(GetParam().text, out);
  EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedText,
    testing::Values(
        QuoteCase{"Empty", "", R"("")"},
        QuoteCase{"PlainAscii", "Hello, world! 0-9 ~{}[]'`", R"("Hello, world! 0-9 ~{}[]'`")"},
        QuoteCase{"QuoteAndBackslash", R"(say "a\b")", R"("say \"a\\b\"")"},
        QuoteCase{"TabCrLf", "a\tb\rc\nd", R"("a\tb\rc\nd")"},
        QuoteCase{"Nul", "a\0b"s, R"("a\0b")"},
        QuoteCase{"OtherControls", "\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
        QuoteCase{"NextLineIsControl", "\u0085", R"("\u{85}")"},
        QuoteCase{"NoBreakSpace", "\u00a0", R"("\u{a0}")"},
        QuoteCase{"SoftHyphen", "\u00ad", R"("\u{ad}")"},
        QuoteCase{"ZeroWidthSpace", "\u200b", R"("\u{200b}")"},
        QuoteCase{"ZeroWidthJoiner", "\u200d", R"("\u{200d}")"},
        QuoteCase{"LineSeparator", "\u2028", R"("\u{2028}")"},
        QuoteCase{"ByteOrderMark", "\ufeff", R"("\u{feff}")"},
        QuoteCase{"PrivateUse", "\ue000", R"("\u{e000}")"},
        QuoteCase{"CombiningAfterBase", "e\u0301", R"("e\u{301}")"},
        QuoteCase{"VariationSelectorAfterHeart", "\u2764\ufe0f", "\"\u2764\\u{fe0f}\""},
        QuoteCase{"Emoji", "\U0001F600", "\"\U0001F600\""},
        QuoteCase{"LettersOfOtherScripts", "\u00e9\u4e2d\u0416", "\"\u00e9\u4e2d\u0416\""},
        // Assigned only after 15.0.0 (CJK Extension I), so still Cn here.
        QuoteCase{"UnassignedIn15", "\U0002EBF0", R"("\u{2ebf0}")"},
        QuoteCase{"LastCodePoint", "\U0010FFFF", R"("\u{10ffff}")"},
        QuoteCase{"RunsAroundEscapes", "ab\"cd\u00a0ef\\", R"("ab\"cd\u{a0}ef\\")"}),
    [](const testing::TestParamInfo<QuoteCase>& row) { return row.param.label; });

}  // namespace
}  // namespace vok

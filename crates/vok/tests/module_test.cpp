#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_names.hpp"
#include "stderr_capture.hpp"
#include "vok/abort.hpp"
#include "vok/data/debug_text.hpp"
#include "vok/parser.hpp"

namespace vok {
namespace {

AstElement data(std::string name) { return AstElement{AstElement::DataType{std::move(name), {}}}; }
AstElement enumeration(std::string name) { return AstElement{AstElement::Enum{std::move(name), {}}}; }
AstElement service(std::string name, std::vector<ServiceItem> items = {}) {
  return AstElement{AstElement::Service{std::move(name), std::move(items), {}}};
}
AstElement comment(std::string text) { return AstElement{AstElement::Comment{std::move(text)}}; }
AstElement import(std::string path) {
  return AstElement{AstElement::Import{Import{Namespace{{std::move(path)}}, {}}}};
}
ServiceItem note(std::string text) { return ServiceItem{ServiceItem::Comment{std::move(text)}}; }
ServiceItem function(std::string name) { return ServiceItem{ServiceItem::Function{std::move(name), {}}}; }
ServiceItem event(std::string name) { return ServiceItem{ServiceItem::Event{std::move(name), {}}}; }
ServiceItem dependency(std::string path) {
  return ServiceItem{ServiceItem::Dependency{Dependency{Namespace{{std::move(path)}}, {}, {}}}};
}

// `count` data types D0, D1, ... and then `repeats`; past a few names the
// assembly switches from scanning the names to a hash table, so long lists
// take the other way through the check.
// Numbered names, "D0", "D1", ... (appended, not `"D" + std::to_string(i)`,
// which g++ 12 at -O3 warns about wrongly with -Wrestrict).
std::string numbered(char prefix, int i) {
  std::string name(1, prefix);
  name += std::to_string(i);
  return name;
}

std::vector<AstElement> data_types(int count, std::vector<std::string> repeats) {
  std::vector<AstElement> items;
  for (int i = 0; i < count; ++i) items.push_back(data(numbered('D', i)));
  for (auto& name : repeats) items.push_back(data(std::move(name)));
  return items;
}

std::vector<ServiceItem> functions(int count, std::vector<std::string> repeats) {
  std::vector<ServiceItem> items;
  for (int i = 0; i < count; ++i) items.push_back(function(numbered('f', i)));
  for (auto& name : repeats) items.push_back(function(std::move(name)));
  return items;
}

// The abort message of build_module, or "" when it returned.
std::string abort_message(const std::vector<AstElement>& items, std::string* report = nullptr) {
  testing::StderrRedirect capture;
  try {
    build_module(Namespace{{"ns"}}, items);
  } catch (const CallAborted& aborted) {
    if (report != nullptr) *report = capture.text();
    return aborted.message();
  }
  return "";
}

TEST(BuildModule, KeepsSourceOrderAndDropsTopLevelComments) {
  const std::vector<AstElement> items = {comment("top"), import("a"), data("D"),      enumeration("D"),
                                         service("D"),   import("a"), comment("end"), data("d")};
  const VokModule module = build_module(Namespace{{"x", "y"}}, items);
  EXPECT_EQ(module.namespace_.components, (std::vector<std::string>{"x", "y"}));
  ASSERT_EQ(module.imports.size(), 2u);  // imports may repeat
  ASSERT_EQ(module.data_types.size(), 2u);  // names are case-sensitive
  EXPECT_EQ(module.data_types[0].first, "D");
  EXPECT_EQ(module.data_types[1].first, "d");
  EXPECT_EQ(module.enums.size(), 1u);
  EXPECT_EQ(module.services.size(), 1u);
  EXPECT_TRUE(build_module(Namespace{{""}}, {}).services.empty());
}

TEST(BuildModule, AttachesBodyCommentsToTheNextMember) {
  const std::vector<AstElement> items = {
      comment("outside"),
      service("S", {note("c1"), note("c2"), function("f"), note("c3"), event("e"), note("d0"),
                    dependency("p"), dependency("p"), note("c4")}),
  };
  const VokModule module = build_module(Namespace{{"ns"}}, items);
  ASSERT_EQ(module.services.size(), 1u);
  const Service& s = module.services[0].second;
  ASSERT_EQ(s.functions.size(), 1u);
  EXPECT_EQ(s.functions[0].second.comments, (std::vector<std::string>{"c1", "c2"}));
  ASSERT_EQ(s.events.size(), 1u);
  EXPECT_EQ(s.events[0].second.comments, (std::vector<std::string>{"c3"}));
  ASSERT_EQ(s.dependencies.size(), 2u);
  EXPECT_EQ(s.dependencies[0].comments, (std::vector<std::string>{"d0"}));
  EXPECT_TRUE(s.dependencies[1].comments.empty());
}

TEST(BuildModule, KindsDoNotShareNames) {
  const std::vector<AstElement> items = {
      service("A", {function("x"), event("x")}),
      service("B", {function("x")}),
  };
  EXPECT_EQ(abort_message(items), "");
  // Long lists of distinct names, checked through the hash table.
  EXPECT_EQ(abort_message(data_types(1000, {})), "");
  EXPECT_EQ(abort_message({service("S", functions(1000, {}))}), "");
}

// The one call that the functions and the file reading make.
TEST(ParseModule, IsTheWalkThenTheAssembly) {
  const std::string text = "/// top\ndata D { a: u8, };\nservice S { /// c\n fn f(); };";
  const auto module = parse_module(text, Namespace{{"n"}});
  ASSERT_TRUE(module.has_value());
  const VokModule expected = build_module(Namespace{{"n"}}, *parse_raw(text));
  std::string got_text;
  std::string expected_text;
  vok_module_debug_text(*module, got_text);
  vok_module_debug_text(expected, expected_text);
  EXPECT_EQ(got_text, expected_text);

  const auto refused = parse_module("enum E { A = 99999999999999999999, };", Namespace{{"n"}});
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().kind, ParseErrorKind::InvalidEnumValue);
}

struct DuplicateCase {
  std::string label;
  std::vector<AstElement> items;
  std::string message;
  std::string location;
};

void PrintTo(const DuplicateCase& c, std::ostream* os) { *os << c.label; }

class Duplicate : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(Duplicate, AbortsWithTheFirstDuplicateInSourceOrder) {
  const DuplicateCase& c = GetParam();
  std::string report;
  EXPECT_EQ(abort_message(c.items, &report), c.message);
  EXPECT_EQ(report.rfind("thread '<unnamed>' panicked at " + c.location + ":\n" + c.message + "\n", 0), 0u)
      << report;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Duplicate,
    ::testing::Values(
        DuplicateCase{"Datatype", {data("X"), enumeration("X"), data("X")}, "Duplicate datatype X!",
                      "crates/vok/src/parser:557:17"},
        DuplicateCase{"Enum", {enumeration("E"), enumeration("E")}, "Duplicate enum E!",
                      "crates/vok/src/parser:568:17"},
        DuplicateCase{"Service", {service("S"), service("S")}, "Duplicate service S!",
                      "crates/vok/src/parser:580:17"},
        DuplicateCase{"Function", {service("S", {function("f"), event("g"), function("f")})},
                      "Duplicate function f!", "crates/vok/src/parser:515:17"},
        DuplicateCase{"Event", {service("S", {event("e"), event("e")})}, "Duplicate event e!",
                      "crates/vok/src/parser:528:17"},
        DuplicateCase{"FirstBodyBeforeSecondService",
                      {service("S", {function("f"), function("f")}), service("S")},
                      "Duplicate function f!", "crates/vok/src/parser:515:17"},
        DuplicateCase{"SecondServiceBeforeItsBody",
                      {service("S"), service("S", {function("f"), function("f")})},
                      "Duplicate service S!", "crates/vok/src/parser:580:17"},
        DuplicateCase{"EarliestOfTwoKinds",
                      {data("Y"), enumeration("Z"), enumeration("Z"), data("Y")}, "Duplicate enum Z!",
                      "crates/vok/src/parser:568:17"},
        DuplicateCase{"LongListRepeatsAnEarlyName", data_types(40, {"D2", "D30"}), "Duplicate datatype D2!",
                      "crates/vok/src/parser:557:17"},
        // The repeat is the member at which the scan hands over to the table.
        DuplicateCase{"RepeatWhereTheTableTakesOver", data_types(16, {"D0"}), "Duplicate datatype D0!",
                      "crates/vok/src/parser:557:17"},
        DuplicateCase{"LongListRepeatsALateName", data_types(40, {"D39", "D2"}), "Duplicate datatype D39!",
                      "crates/vok/src/parser:557:17"},
        DuplicateCase{"LongBodyRepeatsAFunction", {service("S", functions(100, {"f99"}))},
                      "Duplicate function f99!", "crates/vok/src/parser:515:17"}),
    CaseLabel());

}  // namespace
}  // namespace vok

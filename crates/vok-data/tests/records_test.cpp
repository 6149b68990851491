#include "vok/data/records.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "case_names.hpp"
#include "vok/data/debug_text.hpp"

namespace vok {
namespace {

struct SplitCase {
  std::string label;
  std::string text;
  std::vector<std::string> components;
};

void PrintTo(const SplitCase& c, std::ostream* os) { print_quoted(c.text, os); }

class NamespaceFromText : public testing::TestWithParam<SplitCase> {};

TEST_P(NamespaceFromText, CutsAtEveryDoubleColonFromTheLeft) {
  EXPECT_EQ(namespace_from_text(GetParam().text).components, GetParam().components);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamespaceFromText,
    testing::Values(SplitCase{"EmptyText", "", {""}},
                    SplitCase{"OneComponent", "a", {"a"}},
                    SplitCase{"ThreeComponents", "a::b::d", {"a", "b", "d"}},
                    SplitCase{"TrailingDoubleColon", "a::", {"a", ""}},
                    SplitCase{"LeadingDoubleColon", "::a", {"", "a"}},
                    SplitCase{"DoubleColonOnly", "::", {"", ""}},
                    SplitCase{"TwoDoubleColonsOnly", "::::", {"", "", ""}},
                    // Colon runs are consumed two at a time from the left.
                    SplitCase{"TripleColon", "a:::b", {"a", ":b"}},
                    SplitCase{"QuadrupleColon", "a::::b", {"a", "", "b"}},
                    SplitCase{"SingleColon", "a:b", {"a:b"}},
                    // Nothing is trimmed.
                    SplitCase{"SpacesAroundComponents", " a :: b ", {" a ", " b "}},
                    // Cuts are byte-wise; multi-byte characters pass through whole.
                    SplitCase{"MultiByteComponents", "\u00e9::\U0001F600", {"\u00e9", "\U0001F600"}}),
    CaseLabel());

std::string text_of(const Function& function) {
  std::string out;
  function_debug_text(function, out);
  return out;
}

// The implicit copies are the deep copies the assembly and the binding rely
// on; a copy must share no storage in either direction.
TEST(DeepCopy, CopyAndOriginalAreIndependent) {
  auto original = std::make_unique<Function>(Function{
      .arguments = {{"a", TypeName{.typ = namespace_from_text("x::y"),
                                   .is_list = true,
                                   .count = 3,
                                   .attributes = {{namespace_from_text("k"), {{"p", "v"}}}},
                                   .comments = {"c"}}}},
      .return_type = TypeName{.typ = namespace_from_text("u8")},
      .attributes = {{namespace_from_text("attr"), {{"n", std::nullopt}, {"e", ""}}}},
      .comments = {"doc"},
  });
  const std::string before = text_of(*original);

  Function copy = *original;
  EXPECT_EQ(text_of(copy), before);
  copy.arguments[0].first = "b";
  copy.arguments[0].second.typ.components[1] = "z";
  copy.arguments[0].second.count.reset();
  copy.arguments[0].second.attributes[0].parameters[0].value->append("w");
  copy.return_type->comments.push_back("added");
  copy.attributes[0].parameters[0].value = "now set";
  copy.comments.clear();
  EXPECT_EQ(text_of(*original), before);

  Function second = *original;
  original.reset();
  EXPECT_EQ(text_of(second), before);  // ASan reports any storage shared with the released one
}

}  // namespace
}  // namespace vok

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "case_names.hpp"
#include "vok/grammar.hpp"

namespace vok {
namespace {

struct Accepted {
  std::string label;
  std::string text;
  std::string pairs;  // display text of the top-level pairs
};

void PrintTo(const Accepted& c, std::ostream* os) { print_quoted(c.text, os); }

class AcceptedText : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedText, LeavesThesePairs) {
  const auto& [label, text, pairs] = GetParam();
  const auto tree = run_grammar(text);
  ASSERT_TRUE(tree.has_value()) << syntax_error_text(text, tree.error());
  EXPECT_EQ(tree->top_level().display(), pairs);
}

// Offsets in the expectations were counted by hand from the texts.
INSTANTIATE_TEST_SUITE_P(
    Lexical, AcceptedText,
    ::testing::Values(
        Accepted{"EmptyText", "", "[EOI(0, 0)]"},
        Accepted{"IndentedCommentAndBlankLines", "  /// a\n\n", "[COMMENT(2, 7), EOI(9, 9)]"},
        Accepted{"FourSlashComment", "////x", "[COMMENT(0, 5), EOI(5, 5)]"},
        // The CR before the LF stays in the first comment.
        Accepted{"CrStaysInComment", "/// a\r\n/// b", "[COMMENT(0, 6), COMMENT(7, 12), EOI(12, 12)]"},
        Accepted{"CrIsWhiteSpace", "data A {}\r;", "[data(0, 11, [ident(5, 6)]), EOI(11, 11)]"},
        Accepted{"KeywordAsName", "data data {};", "[data(0, 13, [ident(5, 9)]), EOI(13, 13)]"},
        Accepted{"UnderscoreAndDigitInName", "data _a9 {};", "[data(0, 12, [ident(5, 8)]), EOI(12, 12)]"},
        Accepted{"PathOfThree", "import a::b::c;", "[import(0, 15, [path(7, 14)]), EOI(15, 15)]"},
        Accepted{"CommentAtTheEnd", "data A {};///tail",
                 "[data(0, 10, [ident(5, 6)]), COMMENT(10, 17), EOI(17, 17)]"},
        // A one-digit number keeps the skip after its digit; a longer one
        // gives back the skip before the digit that did not come.
        Accepted{"SkipAfterNumbers", "enum E { A = 7 , B = 77 , C = 7,};",
                 "[enum_(0, 34, [ident(5, 6), enum_value(9, 16, [ident(9, 10), number(13, 15)]), "
                 "enum_value(17, 25, [ident(17, 18), number(21, 23)]), "
                 "enum_value(26, 32, [ident(26, 27), number(30, 31)])]), EOI(34, 34)]"},
        Accepted{"CommentAfterNumber", "enum E { A = 7 /// c\n, };",
                 "[enum_(0, 25, [ident(5, 6), enum_value(9, 22, [ident(9, 10), number(13, 21, [COMMENT(15, 20)])])]), "
                 "EOI(25, 25)]"},
        Accepted{"NumberWithStrayDigit", "enum E { A = 1 2, };",
                 "[enum_(0, 20, [ident(5, 6), enum_value(9, 17, [ident(9, 10), number(13, 16)])]), EOI(20, 20)]"},
        // Escapes are kept, not decoded; a string may span lines.
        Accepted{"EscapedQuoteInString", "#[a(b = \"x\\\"y\")] import q;",
                 "[import(0, 26, [attributes(0, 16, [attribute(2, 15, [path(2, 3), attr_argument(4, 14, "
                 "[path(4, 5), string(8, 14, [chars(9, 13)])])])]), path(24, 25)]), EOI(26, 26)]"},
        Accepted{"EmptyAndMultiLineStrings", "#[a(b=\"\", c=\"x\ny\")] import q;",
                 "[import(0, 29, [attributes(0, 19, [attribute(2, 18, [path(2, 3), "
                 "attr_argument(4, 8, [path(4, 5), string(6, 8, [chars(7, 7)])]), "
                 "attr_argument(10, 17, [path(10, 11), string(12, 17, [chars(13, 16)])])])]), path(27, 28)]), "
                 "EOI(29, 29)]"},
        Accepted{"SpacedAttributeList", "#[a , b] data A {};",
                 "[data(0, 19, [attributes(0, 8, [attribute(2, 4, [path(2, 3)]), attribute(6, 7, [path(6, 7)])]), "
                 "ident(14, 15)]), EOI(19, 19)]"},
        Accepted{"CommentBeforeColon", "data A { x /// c\n : int, };",
                 "[data(0, 27, [ident(5, 6), property(9, 24, [ident(9, 10), COMMENT(11, 16), "
                 "typ(20, 23, [path(20, 23)])])]), EOI(27, 27)]"},
        // Made by the `data` alternative after `import` made and lost it.
        Accepted{"AttributeOnData", "#[a] /// c\ndata A {};",
                 "[data(0, 21, [attributes(0, 4, [attribute(2, 3, [path(2, 3)])]), COMMENT(5, 10), ident(16, 17)]), "
                 "EOI(21, 21)]"}),
    CaseLabel());

INSTANTIATE_TEST_SUITE_P(
    Declarations, AcceptedText,
    ::testing::Values(
        Accepted{"ImportWithoutSpace", "importa;", "[import(0, 8, [path(6, 7)]), EOI(8, 8)]"},
        Accepted{"DataWithoutSpaces", "dataFoo{};", "[data(0, 10, [ident(4, 7)]), EOI(10, 10)]"},
        Accepted{"SpaceBeforeSemicolon", "data X { a: u32, } ;",
                 "[data(0, 20, [ident(5, 6), property(9, 16, [ident(9, 10), typ(12, 15, [path(12, 15)])])]), "
                 "EOI(20, 20)]"},
        Accepted{"EmptyService", "service S {};", "[service(0, 13, [ident(8, 9)]), EOI(13, 13)]"},
        Accepted{"EnumWithAndWithoutValue", "enum E { A, B = 2, };",
                 "[enum_(0, 21, [ident(5, 6), enum_value(9, 11, [ident(9, 10)]), "
                 "enum_value(12, 18, [ident(12, 13), number(16, 17)])]), EOI(21, 21)]"},
        Accepted{"OneDigitValueThenSpace", "enum E { A = 5 , };",
                 "[enum_(0, 19, [ident(5, 6), enum_value(9, 16, [ident(9, 10), number(13, 15)])]), EOI(19, 19)]"},
        Accepted{"TwoDigitValueThenSpace", "enum E { A = 15 , };",
                 "[enum_(0, 20, [ident(5, 6), enum_value(9, 17, [ident(9, 10), number(13, 15)])]), EOI(20, 20)]"},
        Accepted{"KeywordsWithoutSpace", "service S { fnord(); eventful(); dependson x; };",
                 "[service(0, 48, [ident(8, 9), function(12, 20, [ident(14, 17)]), event(21, 32, [ident(26, 29)]), "
                 "depends(33, 45, [path(43, 44)])]), EOI(48, 48)]"},
        Accepted{"FunctionWithEveryPart", "service S { fn f(#[x] a: list of T, b: 5 of U) -> list of V; };",
                 "[service(0, 63, [ident(8, 9), function(12, 60, [ident(15, 16), "
                 "argument(17, 34, [attributes(17, 21, [attribute(19, 20, [path(19, 20)])]), ident(22, 23), "
                 "typ(25, 34, [path(33, 34)])]), "
                 "argument(36, 45, [ident(36, 37), typ(39, 45, [number(39, 41), path(44, 45)])]), "
                 "typ(50, 59, [path(58, 59)])])]), EOI(63, 63)]"},
        Accepted{"SpaceInEmptyArguments", "service S { fn f( ); };",
                 "[service(0, 23, [ident(8, 9), function(12, 20, [ident(15, 16)])]), EOI(23, 23)]"},
        Accepted{"Handler", "service S { handles h(a: T) -> R; };",
                 "[service(0, 36, [ident(8, 9), handler(12, 33, [ident(20, 21), argument(22, 26, [ident(22, 23), "
                 "typ(25, 26, [path(25, 26)])]), typ(31, 32, [path(31, 32)])])]), EOI(36, 36)]"},
        Accepted{"SpacesInsideAttributes", "#[ a , b ] import x;",
                 "[import(0, 20, [attributes(0, 10, [attribute(3, 5, [path(3, 4)]), attribute(7, 9, [path(7, 8)])]), "
                 "path(18, 19)]), EOI(20, 20)]"},
        Accepted{"CommentInsideAttribute", "#[a /// note\n] import x;",
                 "[import(0, 24, [attributes(0, 14, [attribute(2, 13, [path(2, 3), COMMENT(4, 12)])]), path(22, 23)]), "
                 "EOI(24, 24)]"},
        Accepted{"CommentBeforeSemicolon", "import a::b /// x\n;",
                 "[import(0, 19, [path(7, 11), COMMENT(12, 17)]), EOI(19, 19)]"},
        Accepted{"CommentsInDataBody", "data X { /// d\n a: T, /// e\n };",
                 "[data(0, 31, [ident(5, 6), COMMENT(9, 14), property(16, 21, [ident(16, 17), "
                 "typ(19, 20, [path(19, 20)])]), COMMENT(22, 27)]), EOI(31, 31)]"},
        Accepted{"CommentInsideListType", "data X { a: list /// note\n of Foo, };",
                 "[data(0, 37, [ident(5, 6), property(9, 34, [ident(9, 10), "
                 "typ(12, 33, [COMMENT(17, 25), path(30, 33)])])]), EOI(37, 37)]"},
        // The three alternatives of `typ`, with no word boundary after "list".
        Accepted{"ThreeFormsOfType", "data X { a: listing, b: list, c: listof Foo, d: 12 of x::y, };",
                 "[data(0, 62, [ident(5, 6), property(9, 20, [ident(9, 10), typ(12, 19, [path(12, 19)])]), "
                 "property(21, 29, [ident(21, 22), typ(24, 28, [path(24, 28)])]), "
                 "property(30, 44, [ident(30, 31), typ(33, 43, [path(40, 43)])]), "
                 "property(45, 59, [ident(45, 46), typ(48, 58, [number(48, 50), path(54, 58)])])]), EOI(62, 62)]"}),
    CaseLabel());

// A refused text, with the error's place and message as the report shows
// them (all of these on line 1).
struct Refused {
  std::string label;
  std::string text;
  std::size_t column;
  std::string message;
};

void PrintTo(const Refused& c, std::ostream* os) { print_quoted(c.text, os); }

class RefusedText : public ::testing::TestWithParam<Refused> {};

constexpr const char* kTopLevel = "expected EOI, COMMENT, import, data, service, or enum_";
constexpr const char* kMembers = "expected COMMENT, handler, function, event, or depends";

TEST_P(RefusedText, ReportsPlaceAndExpectedRules) {
  const auto& [label, text, column, message] = GetParam();
  const auto result = run_grammar(text);
  ASSERT_FALSE(result.has_value());
  const std::string report = syntax_error_text(text, result.error());
  EXPECT_EQ(report.substr(0, report.find('\n')), " --> 1:" + std::to_string(column)) << report;
  EXPECT_EQ(report.substr(report.rfind('\n') + 1), "  = " + message) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Lexical, RefusedText,
    ::testing::Values(
        Refused{"UnknownWord", "foo", 1, kTopLevel},
        Refused{"PlainComment", "// not a doc comment", 1, kTopLevel},
        Refused{"PlainCommentAfterItem", "import x; // note", 11, kTopLevel},
        Refused{"GarbageAfterItem", "data A {};garbage", 11, kTopLevel},
        Refused{"FormFeed", "data A {}\f;", 10, "expected COMMENT"},          // form feed is no white space
        Refused{"NoBreakSpace", "data A {}\u00a0;", 10, "expected COMMENT"},  // nor is a no-break space
        Refused{"NameStartingWithDigit", "data 9a {};", 6, "expected COMMENT or ident"},
        Refused{"NonAsciiName", "data \u00e9 {};", 6, "expected COMMENT or ident"},
        Refused{"DotInPath", "import a.b;", 9, "expected COMMENT"},
        Refused{"SpaceAfterDoubleColon", "import a:: b;", 9, "expected COMMENT"},
        Refused{"SpaceBeforeDoubleColon", "import a ::b;", 10, "expected COMMENT"},
        Refused{"SpacesAroundDoubleColon", "import a :: b;", 10, "expected COMMENT"},
        Refused{"UnicodeEscapeInString", "#[a(b = \"\\u0041\")] import x;", 9, "expected COMMENT or string"},
        Refused{"UnclosedString", "#[a(b=\"unclosed", 7, "expected COMMENT or string"},
        Refused{"NumberAsAttributeValue", "#[a(b = 5)] import x;", 9, "expected COMMENT or string"}),
    CaseLabel());

INSTANTIATE_TEST_SUITE_P(
    Declarations, RefusedText,
    ::testing::Values(
        Refused{"PropertyWithoutComma", "data X { a: u32 };", 17, "expected COMMENT"},
        Refused{"DataWithoutSemicolon", "data X { a: u32, }", 19, "expected COMMENT"},
        Refused{"SpaceBeforeEmptyServiceSemicolon", "service S {} ;", 12, kMembers},
        Refused{"ServiceWithoutSemicolon", "service S { fn f(); }", 21, kMembers},
        Refused{"FunctionWithoutSemicolon", "service S { fn f() };", 20, "expected COMMENT"},
        Refused{"EmptyEnum", "enum E {};", 9, "expected COMMENT or enum_value"},
        Refused{"NegativeValue", "enum E { A = -1, };", 14, "expected COMMENT or number"},
        Refused{"MissingValue", "enum E { A = , };", 14, "expected COMMENT or number"},
        Refused{"LastValueWithoutComma", "enum E { A = 1, B };", 19, "expected COMMENT"},
        Refused{"MissingType", "data X { a: , };", 13, "expected COMMENT or typ"},
        Refused{"ListWithoutType", "data X { a: list of, };", 20, "expected COMMENT or path"},
        // An attribute failing at its start made one attempt,
        // its path, which then stands for it.
        Refused{"EmptyAttributes", "#[] import x;", 3, "expected COMMENT or path"},
        Refused{"TrailingCommaInAttributes", "#[a,] import x;", 5, "expected COMMENT or path"},
        Refused{"EmptyAttributeArguments", "#[a()] import x;", 5, "expected COMMENT or path"},
        Refused{"TwoAttributeLists", "#[a] #[b] import x;", 6, "expected COMMENT"},
        Refused{"SpaceAfterHash", "# [a] import x;", 1, kTopLevel},
        Refused{"CapitalisedKeyword", "Import x;", 1, kTopLevel},
        Refused{"FunctionAtTopLevel", "fn f();", 1, kTopLevel},
        Refused{"TrailingCommaInArguments", "service S { fn f(a: T,); };", 23, "expected COMMENT or argument"},
        Refused{"TrailingCommaAndSpacedSemicolon", "service S { fn f(a: int,) ; };", 25,
                "expected COMMENT or argument"},
        Refused{"MissingReturnType", "service S { fn f(a: int) -> ; };", 29, "expected COMMENT or typ"},
        Refused{"EventWithReturnType", "service S { event e() -> T; };", 23, "expected COMMENT"},
        Refused{"DependsWithoutOn", "service S { depends x; };", 21, "expected COMMENT"}),
    CaseLabel());

TEST(SyntaxErrorRecord, IsSortedByRuleNumberWithoutRepeats) {
  // Recorded at 0 as COMMENT, import, data, enum_, service, COMMENT, EOI.
  const auto result = run_grammar("foo");
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().position, 0u);
  EXPECT_EQ(result.error().expected,
            (std::vector<Rule>{Rule::EOI, Rule::COMMENT, Rule::import, Rule::data, Rule::service, Rule::enum_}));
}

TEST(SyntaxErrorRecord, FurtherFailureReplacesEarlierOnes) {
  // The failures at the start of the text give way to the one at the end.
  const std::string text = "data A {}; data B { x: T, }";
  const auto result = run_grammar(text);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().position, text.size());
  EXPECT_EQ(result.error().expected, std::vector<Rule>{Rule::COMMENT});
}

TEST(RuleName, IsTheGrammarName) {
  EXPECT_EQ(rule_name(Rule::EOI), "EOI");
  EXPECT_EQ(rule_name(Rule::enum_), "enum_");
  EXPECT_EQ(rule_name(Rule::typename_), "typename");
  EXPECT_EQ(rule_name(Rule::char_), "char");
  EXPECT_EQ(rule_name(Rule::ASCII_ALPHANUMERIC_UNDER), "ASCII_ALPHANUMERIC_UNDER");
}

// The walk reads pairs through these views only.
TEST(Pairs, WalkFrontToBackAndStayFinished) {
  const std::string text = "import a;\ndata B { c: list of D, };";
  auto tree = run_grammar(text);
  ASSERT_TRUE(tree.has_value());
  const PairTree moved = std::move(*tree);  // pairs stay valid across a move

  Pairs top = moved.top_level();
  // Counting takes nothing and steps over whole siblings, inner pairs and all.
  EXPECT_EQ(top.count(), 3u);
  EXPECT_EQ(top.count(Rule::data), 1u);
  EXPECT_EQ(top.count(Rule::property), 0u);
  const Pair import = *top.next();
  EXPECT_EQ(import.text(), "import a;");
  EXPECT_EQ(top.display(), "[data(10, 35, [ident(15, 16), property(19, 32, [ident(19, 20), typ(22, 31, [path(30, 31)])])]), EOI(35, 35)]");

  const Pair data = *top.next();
  Pairs members = data.inner();
  EXPECT_EQ(members.next()->text(), "B");
  const Pair property = *members.next();
  EXPECT_TRUE(members.empty());
  EXPECT_FALSE(members.next().has_value());
  EXPECT_FALSE(members.next().has_value());
  EXPECT_EQ(members.display(), "[]");

  Pairs parts = property.inner();
  parts.next();
  const Span typ = parts.next()->span();
  EXPECT_EQ(typ.text, "list of D");
  EXPECT_EQ(typ.start, 22u);
  EXPECT_EQ(typ.end, 31u);
  EXPECT_EQ(parts.count(), 0u);

  const Pair eoi = *top.next();
  EXPECT_EQ(eoi.rule(), Rule::EOI);
  EXPECT_EQ(eoi.display(), "EOI(35, 35)");
  EXPECT_TRUE(eoi.inner().empty());
  EXPECT_FALSE(top.next().has_value());
}

// Every prefix of a text touching every rule is either accepted or refused
// at a place inside it with at least one expected rule; under the sanitizer
// build this also shows that no prefix makes the run read past its input.
TEST(GrammarRun, EveryPrefixEndsInAResult) {
  const std::string text =
      "/// Module.\nimport a::b;\n#[x(y = \"v\\n\", z), w] data D {\n  /// p\n  p: list of T,\n  q: 16 of u8,\n};\n"
      "enum E { A = 1 2, #[d] B, };\r\nservice S {\n  depends on x::y;\n  fn f(#[k] a: T, b: list of U) -> V;\n"
      "  handles h();\n  event e(c: C);\n};\n////";
  for (std::size_t length = 0; length <= text.size(); ++length) {
    const std::string prefix = text.substr(0, length);
    const auto result = run_grammar(prefix);
    if (result) {
      ASSERT_EQ(result->marks().size() % 2, 0u);
      continue;
    }
    ASSERT_LE(result.error().position, length);
    ASSERT_FALSE(result.error().expected.empty()) << length;
  }
  EXPECT_TRUE(run_grammar(text).has_value());
}

}  // namespace
}  // namespace vok

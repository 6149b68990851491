// The grammar run of the definition language and the pairs it leaves.
//
// `run_grammar` matches the whole text against the entry rule `file` by
// recursive descent with backtracking by position (no memoisation). A
// successful run yields a `PairTree`: one flat list of marks, from which
// `Pair` and `Pairs` are cheap views. A failed run yields a `SyntaxError`
// holding the furthest position at which a rule failed and the rules
// expected there; `syntax_error_text` renders it as the six-line report.
//
// Pairs and spans point into the input text and into the tree's marks: the
// input must outlive the tree, and the tree must outlive its pairs. Moving a
// `PairTree` keeps its pairs valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vok {

// The grammar's 34 rules, numbered in this order; the number orders the
// expected rules of a syntax error. `typename_` and `char_` stand for the
// rules "typename" and "char", whose names are C++ keywords.
enum class Rule : std::uint8_t {
  EOI, ws, WHITESPACE, COMMENT, doc_comment, file, import, data, service,
  enum_, property, enum_value, handler, function, event, depends, arguments,
  argument, typ, typename_, path, ident, attributes, attribute,
  attr_arguments, attr_argument, number, digit, string, chars, char_, quote,
  ASCII_ALPHA_UNDER, ASCII_ALPHANUMERIC_UNDER,
};

// The rule's name as it appears in messages and display texts ("enum_",
// "typename", "char", "COMMENT", ...).
std::string_view rule_name(Rule rule);

// The text of a pair with its byte offsets into the input.
struct Span {
  std::string_view text;
  std::size_t start = 0;
  std::size_t end = 0;
};

// One entry of the flat mark list. A start mark holds the position where a
// rule began and the index of its end mark; an end mark holds the position
// where it ended and the index of its start mark. Both hold the rule.
struct Mark {
  std::size_t position = 0;
  std::uint32_t partner = 0;
  Rule rule = Rule::EOI;
  bool is_start = false;
};

class Pairs;

// One matched rule: a start mark of a run's mark list.
class Pair {
 public:
  Pair(const Mark* marks, std::string_view input, std::uint32_t start_index)
      : marks_(marks), input_(input), index_(start_index) {}

  Rule rule() const { return marks_[index_].rule; }
  std::size_t start() const { return marks_[index_].position; }
  std::size_t end() const { return marks_[marks_[index_].partner].position; }
  std::string_view text() const { return input_.substr(start(), end() - start()); }
  Span span() const { return Span{text(), start(), end()}; }
  // The pairs of the rules that ran inside this one, next level only.
  Pairs inner() const;

  // 'typ(12, 15, [path(12, 15)])': rule, offsets, and the inner pairs if any.
  void append_display(std::string& out) const;
  std::string display() const;

 private:
  const Mark* marks_;
  std::string_view input_;
  std::uint32_t index_;
};

// An ordered sequence of sibling pairs, walked front to back.
class Pairs {
 public:
  Pairs(const Mark* marks, std::string_view input, std::uint32_t first, std::uint32_t last)
      : marks_(marks), input_(input), next_(first), last_(last) {}

  bool empty() const { return next_ >= last_; }
  // The next sibling, or nothing once the sequence is exhausted (and again
  // on every later call).
  std::optional<Pair> next() {
    if (empty()) return std::nullopt;
    const Pair pair(marks_, input_, next_);
    next_ = marks_[next_].partner + 1;
    return pair;
  }
  // How many siblings are left, or how many of them are pairs of `rule`;
  // takes none. One step per sibling, however much lies inside them, so a
  // list can be reserved at its final length.
  std::size_t count() const {
    return count_if([](Rule) { return true; });
  }
  std::size_t count(Rule rule) const {
    return count_if([rule](Rule sibling) { return sibling == rule; });
  }

  // '[a(0, 1), b(2, 3)]', "[]" when empty; shows the pairs not yet taken.
  void append_display(std::string& out) const;
  std::string display() const;

 private:
  template <class Counts>
  std::size_t count_if(Counts counts) const {
    std::size_t siblings = 0;
    for (std::uint32_t at = next_; at < last_; at = marks_[at].partner + 1) siblings += counts(marks_[at].rule);
    return siblings;
  }

  const Mark* marks_;
  std::string_view input_;
  std::uint32_t next_;  // index of the next start mark
  std::uint32_t last_;  // one past the last mark of this level
};

// Defined here, once Pairs is complete, so that it inlines into the walk
// like Pairs::next.
inline Pairs Pair::inner() const { return Pairs(marks_, input_, index_ + 1, marks_[index_].partner); }

// The result of a successful run.
class PairTree {
 public:
  PairTree(std::string_view input, std::vector<Mark> marks)
      : input_(input), marks_(std::move(marks)) {}

  const std::vector<Mark>& marks() const { return marks_; }
  // The pairs made directly by `file`: COMMENT, import, data, enum_ and
  // service pairs in input order, and last one EOI pair.
  Pairs top_level() const;

 private:
  std::string_view input_;
  std::vector<Mark> marks_;
};

// The failure record of a failed run, already sorted by rule number and
// without repeats.
struct SyntaxError {
  std::size_t position = 0;
  std::vector<Rule> expected;
};

// Never fails other than by not matching. Pair indices are 32-bit: a run
// that would need more than 2^32 - 1 marks (gigabytes of input, tens of
// gigabytes of marks) is treated like exhausted memory: std::bad_alloc.
std::expected<PairTree, SyntaxError> run_grammar(std::string_view input);

// The six-line report: " --> line:column", the source line, a marker under
// the position, and "= expected A, B, or C". No line feed after the last
// line. `input` is the text the run failed on.
std::string syntax_error_text(std::string_view input, const SyntaxError& error);

}  // namespace vok

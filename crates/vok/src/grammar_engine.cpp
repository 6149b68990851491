#include "grammar_engine.hpp"

#include <algorithm>
#include <new>
#include <string>

namespace vok::grammar_engine {

namespace {

// Definition texts written by people leave about one mark per four bytes;
// reserving that avoids most regrowth without holding much more than the
// run ends up using.
std::size_t estimated_marks(std::size_t input_size) { return input_size / 4 + 16; }

}  // namespace

RunState::RunState(std::string_view text) : input(text) {
  marks.reserve(estimated_marks(text.size()));
  expected.reserve(16);
}

void mark_list_exhausted(std::size_t) { throw std::bad_alloc(); }

}  // namespace vok::grammar_engine

namespace vok {

std::expected<PairTree, SyntaxError> run_grammar(std::string_view input) {
  grammar_engine::RunState state(input);
  if (grammar_engine::match_file(state)) return PairTree(input, std::move(state.marks));

  std::vector<Rule> expected = std::move(state.expected);
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  return std::unexpected(SyntaxError{state.furthest, std::move(expected)});
}

}  // namespace vok

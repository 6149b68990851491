// The matching machinery under the grammar rules: the run state, the
// combinators the rules are written with, and the rule step that turns a
// rule's match into marks and its failure into the failure record.
//
// Every combinator is a type with `static bool match(RunState&)`. A match
// that fails leaves the position and the mark list exactly as it found them,
// so callers never have to put anything back after a failed sub-match; only
// the implicit skip, which always succeeds, has to be undone explicitly when
// the element after it fails.
//
// Nothing here knows the definition language. The implicit skip is supplied
// by the rules as the `Skip` parameter of `seq_with` and `star_with`, which
// keeps the skip itself (written with the lexical rules) out of this layer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "vok/data/unicode.hpp"
#include "vok/grammar.hpp"

namespace vok::grammar_engine {

enum class Atomicity : std::uint8_t { non_atomic, compound_atomic, atomic };

// Pair indices are 32-bit, so the mark list of one run is capped; reaching
// the cap throws std::bad_alloc, like running out of memory (the run cannot
// go on and must not hand out wrapped indices).
[[noreturn]] void mark_list_exhausted(std::size_t marks);

struct RunState {
  explicit RunState(std::string_view text);

  std::string_view input;
  std::size_t pos = 0;
  std::vector<Mark> marks;
  Atomicity atomicity = Atomicity::non_atomic;
  // Failure record: the furthest start position of a recorded failure and
  // the rules recorded there, in recording order, possibly repeated.
  std::size_t furthest = 0;
  std::vector<Rule> expected;

  std::size_t remaining() const { return input.size() - pos; }
  unsigned char byte_at(std::size_t at) const { return static_cast<unsigned char>(input[at]); }

  // How many failures are recorded at `at`: the entry snapshot of a rule
  // step, and the count it compares against when the rule fails.
  std::size_t attempts_at(std::size_t at) const { return at == furthest ? expected.size() : 0; }

  std::size_t open(Rule rule, std::size_t at) {
    const std::size_t index = marks.size();
    push(Mark{at, 0, rule, true});
    return index;
  }
  void close(std::size_t start_index, Rule rule) {
    const std::size_t end_index = marks.size();
    marks[start_index].partner = static_cast<std::uint32_t>(end_index);
    push(Mark{pos, static_cast<std::uint32_t>(start_index), rule, false});
  }

  // Called once a rule that began at `start` with `snapshot` attempts
  // recorded there has failed (and only outside atomic contexts).
  void record_failure(Rule rule, std::size_t start, std::size_t snapshot) {
    // Exactly one attempt inside the rule failed at its own start: that
    // attempt says more than the rule's name would.
    if (attempts_at(start) == snapshot + 1) return;
    if (start == furthest) {
      expected.resize(snapshot);
    } else if (start > furthest) {
      expected.clear();
      furthest = start;
    } else {
      return;
    }
    expected.push_back(rule);
  }

 private:
  void push(const Mark& mark) {
    if (marks.size() >= std::numeric_limits<std::uint32_t>::max()) [[unlikely]] {
      mark_list_exhausted(marks.size());
    }
    marks.push_back(mark);
  }
};

struct Checkpoint {
  std::size_t pos;
  std::size_t marks;
};

inline Checkpoint checkpoint(const RunState& s) { return {s.pos, s.marks.size()}; }

inline void restore(RunState& s, Checkpoint at) {
  s.pos = at.pos;
  s.marks.resize(at.marks);
}

// A literal as a template argument: lit<"import">.
template <std::size_t N>
struct Literal {
  static_assert(N > 1, "a literal matches at least one byte");
  constexpr Literal(const char (&text)[N]) { std::copy_n(text, N - 1, bytes); }
  static constexpr std::size_t size = N - 1;
  char bytes[N - 1];
};

// ---------------------------------------------------------------------------
// Terminals

// The exact bytes, case-sensitive, with no word boundary after them.
template <Literal L>
struct lit {
  static bool match(RunState& s) {
    if (s.remaining() < L.size) return false;
    if (std::memcmp(s.input.data() + s.pos, L.bytes, L.size) != 0) return false;
    s.pos += L.size;
    return true;
  }
};

// One character in an inclusive range. Every range of the grammar is ASCII,
// so the lead byte decides: a multi-byte character never falls inside one.
template <char Low, char High>
struct range {
  static_assert(static_cast<unsigned char>(High) < 0x80, "ASCII ranges only");
  static bool match(RunState& s) {
    if (s.remaining() == 0) return false;
    const unsigned char byte = s.byte_at(s.pos);
    if (byte < static_cast<unsigned char>(Low) || byte > static_cast<unsigned char>(High)) return false;
    ++s.pos;
    return true;
  }
};

// Any one code point. The input is valid UTF-8; a stray byte still counts
// as one character and nothing is read past the end.
struct any {
  static bool match(RunState& s) {
    if (s.remaining() == 0) return false;
    s.pos += std::min(unicode::utf8_length(s.byte_at(s.pos)), s.remaining());
    return true;
  }
};

// Everything up to the next `Stop` byte (not included) or the end of the
// input; never fails. For an ASCII byte over valid UTF-8 this is the same as
// (!Stop ~ ANY)* in an atomic context, found with one byte search.
template <char Stop>
struct up_to {
  static_assert(static_cast<unsigned char>(Stop) < 0x80, "ASCII stop bytes only");
  static bool match(RunState& s) {
    const char* here = s.input.data() + s.pos;
    const void* found = std::memchr(here, Stop, s.remaining());
    s.pos = found ? static_cast<std::size_t>(static_cast<const char*>(found) - s.input.data()) : s.input.size();
    return true;
  }
};

struct start_of_input {
  static bool match(RunState& s) { return s.pos == 0; }
};

struct end_of_input {
  static bool match(RunState& s) { return s.pos == s.input.size(); }
};

// ---------------------------------------------------------------------------
// Combinators

// !E: succeeds, consuming nothing, exactly when E fails here.
template <class E>
struct not_at {
  static bool match(RunState& s) {
    const Checkpoint here = checkpoint(s);
    if (!E::match(s)) return true;
    restore(s, here);
    return false;
  }
};

template <class E>
struct opt {
  static bool match(RunState& s) {
    E::match(s);
    return true;
  }
};

// Ordered choice; a failed alternative has already put everything back.
template <class... Es>
struct choice {
  static bool match(RunState& s) { return (Es::match(s) || ...); }
};

// E0 ~ E1 ~ ...: the skip runs between the elements, not before the first
// nor after the last.
template <class Skip, class E0, class... Es>
struct seq_with {
  static bool match(RunState& s) {
    if constexpr (sizeof...(Es) == 0) {
      return E0::match(s);
    } else {
      const Checkpoint start = checkpoint(s);
      if (!E0::match(s)) return false;
      if (((Skip::run(s), Es::match(s)) && ...)) return true;
      restore(s, start);
      return false;
    }
  }
};

// E*: the skip runs before every occurrence after the first and is given
// back together with an occurrence that fails.
template <class Skip, class E>
struct star_with {
  static bool match(RunState& s) {
    if (!E::match(s)) return true;
    for (;;) {
      const Checkpoint before = checkpoint(s);
      Skip::run(s);
      if (!E::match(s)) {
        restore(s, before);
        return true;
      }
    }
  }
};

template <Atomicity A, class E>
struct with_atomicity {
  static bool match(RunState& s) {
    const Atomicity saved = s.atomicity;
    s.atomicity = A;
    const bool matched = E::match(s);
    s.atomicity = saved;
    return matched;
  }
};

// ---------------------------------------------------------------------------
// Rule kinds

// Marks the match of E as a pair of R and records R's failure. In an atomic
// context it neither marks nor records, so E runs as if written in place.
template <Rule R, class E>
struct rule_step {
  static bool match(RunState& s) {
    if (s.atomicity == Atomicity::atomic) return E::match(s);
    const std::size_t start = s.pos;
    const std::size_t snapshot = s.attempts_at(start);
    const std::size_t start_index = s.open(R, start);
    if (E::match(s)) {
      s.close(start_index, R);
      return true;
    }
    s.marks.resize(start_index);
    s.record_failure(R, start, snapshot);
    return false;
  }
};

// name = { E }
template <Rule R, class E>
using normal = rule_step<R, E>;

// name = @{ E }: a pair of its own, nothing marked, skipped or recorded
// inside.
template <Rule R, class E>
using atomic = rule_step<R, with_atomicity<Atomicity::atomic, E>>;

// A normal rule whose expression still runs atomically (COMMENT).
template <Rule R, class E>
using implicitly_atomic = atomic<R, E>;

// name = ${ E }: pairs inside, but no skip; its pair is made even when
// called from an atomic context.
template <Rule R, class E>
using compound_atomic = with_atomicity<Atomicity::compound_atomic, rule_step<R, E>>;

// name = _{ E }
template <class E>
using silent = E;

// The grammar's entry, defined with the rules: matches `file` from the
// state's current position.
bool match_file(RunState& s);

}  // namespace vok::grammar_engine

// The grammar of the definition language, one type per rule, written in the
// order lexical rules first, declarations after, `file` last.
//
// Alternatives are tried afresh every time, including the `attributes?` that
// opens every element: what a failed attempt records is part of the syntax
// error, so no attempt may be skipped or cached.
#include "grammar_engine.hpp"

namespace vok::grammar_engine {
namespace {

struct implicit_skip;

template <class... Es>
using seq = seq_with<implicit_skip, Es...>;
template <class E>
using star = star_with<implicit_skip, E>;
// a+ is a ~ a*: the skip after the first occurrence stays even when no
// second one follows.
template <class E>
using plus = seq<E, star<E>>;

// ---------------------------------------------------------------------------
// White space and documentation comments

struct ws : normal<Rule::ws, choice<lit<" ">, lit<"\t">, lit<"\n">, lit<"\r\n">, lit<"\r">>> {};
struct WHITESPACE : silent<with_atomicity<Atomicity::atomic, ws>> {};

struct doc_comment : atomic<Rule::doc_comment, seq<lit<"///">, up_to<'\n'>>> {};
struct COMMENT : implicitly_atomic<Rule::COMMENT, doc_comment> {};

// WHITESPACE* ~ (COMMENT ~ WHITESPACE*)* with nothing skipped inside it. It
// always ends with a failed COMMENT attempt, which is recorded like any
// other failure.
struct implicit_skip {
  static void run(RunState& s) {
    if (s.atomicity != Atomicity::non_atomic) return;
    while (WHITESPACE::match(s)) {
    }
    while (COMMENT::match(s)) {
      while (WHITESPACE::match(s)) {
      }
    }
  }
};

// ---------------------------------------------------------------------------
// Lexical rules

struct EOI : normal<Rule::EOI, end_of_input> {};

struct ASCII_ALPHA_UNDER : atomic<Rule::ASCII_ALPHA_UNDER, choice<range<'a', 'z'>, range<'A', 'Z'>, lit<"_">>> {};
struct ASCII_ALPHANUMERIC_UNDER
    : atomic<Rule::ASCII_ALPHANUMERIC_UNDER, choice<range<'a', 'z'>, range<'A', 'Z'>, range<'0', '9'>, lit<"_">>> {};

struct ident : atomic<Rule::ident, seq<ASCII_ALPHA_UNDER, star<ASCII_ALPHANUMERIC_UNDER>>> {};
struct path : atomic<Rule::path, seq<ident, star<seq<lit<"::">, ident>>>> {};

struct digit : range<'0', '9'> {};
struct number : normal<Rule::number, plus<digit>> {};

struct quote : lit<"\""> {};
struct char_ : silent<choice<seq<not_at<choice<quote, lit<"\\">>>, any>,
                             seq<lit<"\\">, choice<quote, lit<"\\">, lit<"/">, lit<"b">, lit<"f">, lit<"n">,
                                                   lit<"r">, lit<"t">>>>> {};
struct chars : normal<Rule::chars, star<char_>> {};
struct string : compound_atomic<Rule::string, seq<quote, chars, quote>> {};

// ---------------------------------------------------------------------------
// Attributes and types

struct attr_argument : normal<Rule::attr_argument, seq<path, opt<seq<lit<"=">, string>>>> {};
struct attr_arguments : silent<seq<attr_argument, star<seq<lit<",">, attr_argument>>>> {};
struct attribute : normal<Rule::attribute, seq<path, opt<seq<lit<"(">, attr_arguments, lit<")">>>>> {};
struct attributes
    : normal<Rule::attributes, seq<lit<"#[">, star<seq<attribute, lit<",">>>, attribute, lit<"]">>> {};

struct typ : normal<Rule::typ, choice<seq<lit<"list">, lit<"of">, path>,  //
                                      seq<number, lit<"of">, path>,       //
                                      path>> {};

// ---------------------------------------------------------------------------
// Members

struct argument : normal<Rule::argument, seq<opt<attributes>, ident, lit<":">, typ>> {};
struct arguments : silent<seq<argument, star<seq<lit<",">, argument>>>> {};

struct property : normal<Rule::property, seq<opt<attributes>, ident, lit<":">, typ, lit<",">>> {};
struct enum_value : normal<Rule::enum_value, seq<opt<attributes>, ident, opt<seq<lit<"=">, number>>, lit<",">>> {};

struct handler : normal<Rule::handler, seq<opt<attributes>, lit<"handles">, ident, lit<"(">, opt<arguments>, lit<")">,
                                           opt<seq<lit<"->">, typ>>, lit<";">>> {};
struct function : normal<Rule::function, seq<opt<attributes>, lit<"fn">, ident, lit<"(">, opt<arguments>, lit<")">,
                                             opt<seq<lit<"->">, typ>>, lit<";">>> {};
struct event
    : normal<Rule::event, seq<opt<attributes>, lit<"event">, ident, lit<"(">, opt<arguments>, lit<")">, lit<";">>> {};
struct depends : normal<Rule::depends, seq<opt<attributes>, lit<"depends">, lit<"on">, path, lit<";">>> {};

// ---------------------------------------------------------------------------
// Top-level items

struct import : normal<Rule::import, seq<opt<attributes>, lit<"import">, path, lit<";">>> {};
struct data
    : normal<Rule::data, seq<opt<attributes>, lit<"data">, ident, lit<"{">, star<property>, lit<"}">, lit<";">>> {};
struct enum_
    : normal<Rule::enum_, seq<opt<attributes>, lit<"enum">, ident, lit<"{">, plus<enum_value>, lit<"}">, lit<";">>> {};
struct service : normal<Rule::service, seq<opt<attributes>, lit<"service">, ident, lit<"{">,
                                           star<choice<handler, function, event, depends>>, lit<"};">>> {};

struct file : silent<seq<start_of_input, star<choice<import, data, enum_, service>>, EOI>> {};

}  // namespace

bool match_file(RunState& s) { return file::match(s); }

}  // namespace vok::grammar_engine

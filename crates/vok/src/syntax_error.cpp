// The six-line report of a failed grammar run.
#include <algorithm>
#include <string>

#include "vok/data/decimal.hpp"
#include "vok/data/unicode.hpp"
#include "vok/grammar.hpp"

namespace vok {

namespace {

struct LineColumn {
  std::size_t line = 1;
  std::size_t column = 1;
};

// Columns count code points. CR LF is one line break; a CR on its own is an
// ordinary character.
LineColumn line_column(std::string_view before) {
  LineColumn at;
  for (std::size_t i = 0; i < before.size(); ++i) {
    const char byte = before[i];
    if (byte == '\n') {
      ++at.line;
      at.column = 1;
    } else if (byte == '\r' && i + 1 < before.size() && before[i + 1] == '\n') {
      // The LF that follows makes the break.
    } else if (!unicode::is_continuation(static_cast<unsigned char>(byte))) {
      ++at.column;
    }
  }
  return at;
}

// The line holding `position`, without any CR or LF.
std::string shown_line(std::string_view input, std::size_t position) {
  const std::size_t last_break = input.substr(0, position).rfind('\n');
  const std::size_t begin = last_break == std::string_view::npos ? 0 : last_break + 1;
  const std::size_t next_break = input.find('\n', position);
  const std::size_t end = next_break == std::string_view::npos ? input.size() : next_break;
  std::string line;
  for (const char byte : input.substr(begin, end - begin)) {
    if (byte != '\r' && byte != '\n') line += byte;
  }
  return line;
}

// Blanks under the characters before the column, keeping TABs so the marker
// lines up however the terminal expands them.
std::string underline(std::string_view line, std::size_t column) {
  std::string out;
  std::size_t characters = 0;
  for (const char byte : line) {
    if (unicode::is_continuation(static_cast<unsigned char>(byte))) continue;
    if (characters == column - 1) break;
    ++characters;
    out += byte == '\t' ? '\t' : ' ';
  }
  out += "^---";
  return out;
}

std::string message(const std::vector<Rule>& expected) {
  std::string out = "expected ";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i > 0) out += expected.size() == 2 ? " or " : i + 1 == expected.size() ? ", or " : ", ";
    out += rule_name(expected[i]);
  }
  return out;
}

}  // namespace

std::string syntax_error_text(std::string_view input, const SyntaxError& error) {
  const std::size_t position = std::min(error.position, input.size());
  const LineColumn at = line_column(input.substr(0, position));
  std::string line_number;
  append_decimal(line_number, at.line);
  const std::string gutter(line_number.size(), ' ');
  const std::string line = shown_line(input, position);

  std::string text;
  text += gutter + "--> " + line_number + ":";
  append_decimal(text, at.column);
  text += "\n";
  text += gutter + " |\n";
  text += line_number + " | " + line + "\n";
  text += gutter + " | " + underline(line, at.column) + "\n";
  text += gutter + " |\n";
  text += gutter + " = " + message(error.expected);
  return text;
}

}  // namespace vok

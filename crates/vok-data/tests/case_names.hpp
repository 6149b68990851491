// Test helper: how the rows of a parameterised suite are named and shown.
//
// Without a name of its own a row is known by its index, and the test list
// that CMake reads then carries GoogleTest's print of the value, which for a
// struct is a dump of its bytes, heap addresses included. Such a name differs
// between builds and between runs, so `ctest -R` cannot find it again.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

namespace vok {

// Names each row after its `label`. GoogleTest itself refuses a label that is
// not a valid name or that repeats within the suite.
struct CaseLabel {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return info.param.label;
  }
};

// Writes `text` as a quoted literal on one line: printable ASCII as it is,
// every other byte escaped. Works byte by byte, so it also shows text that is
// not valid UTF-8 exactly as the test holds it.
inline void print_quoted(std::string_view text, std::ostream* os) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\0': out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c >= ' ' && c <= '~') {
          out += c;
        } else {
          char escape[5];
          std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
          out += escape;
        }
    }
  }
  *os << out << '"';
}

}  // namespace vok

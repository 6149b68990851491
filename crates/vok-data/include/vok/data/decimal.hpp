// Integers in decimal, as every text of the module writes them: the digits
// alone, a '-' before a negative value, no leading zeros, no grouping.
#pragma once

#include <charconv>
#include <concepts>
#include <limits>
#include <string>

namespace vok {

template <std::integral Integer>
  requires(!std::same_as<Integer, bool>)
void append_decimal(std::string& out, Integer value) {
  // digits10 falls one short of the longest value, and the sign needs one more.
  char digits[std::numeric_limits<Integer>::digits10 + 2];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace vok

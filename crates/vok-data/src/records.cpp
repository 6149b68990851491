#include "vok/data/records.hpp"

namespace vok {

Namespace namespace_from_text(std::string_view text) {
  constexpr std::string_view separator = "::";
  Namespace result;
  std::size_t start = 0;
  // Searching again from just past each match keeps occurrences from
  // overlapping: ":::" is cut once, leaving its last colon in the next piece.
  for (std::size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, start)) {
    result.components.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  result.components.emplace_back(text.substr(start));
  return result;
}

}  // namespace vok

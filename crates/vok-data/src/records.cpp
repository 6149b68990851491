#include "vok/data/records.hpp"

namespace vok {

Namespace namespace_from_text(std::string_view text) {
  constexpr std::string_view separator = "::";
  // Searching again from just past each match keeps occurrences from
  // overlapping: ":::" is cut once, leaving its last colon in the next piece.
  const auto cut_after = [&](std::size_t from) { return text.find(separator, from); };
  std::size_t pieces = 1;
  for (std::size_t at = cut_after(0); at != std::string_view::npos; at = cut_after(at + separator.size())) {
    ++pieces;
  }
  Namespace result;
  result.components.reserve(pieces);
  std::size_t start = 0;
  for (std::size_t at = cut_after(0); at != std::string_view::npos; at = cut_after(start)) {
    result.components.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  result.components.emplace_back(text.substr(start));
  return result;
}

}  // namespace vok

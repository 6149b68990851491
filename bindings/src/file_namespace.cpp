#include "vok/py/file_namespace.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace vok::py {
namespace {

enum class ComponentKind { root, current_dir, parent_dir, normal };

struct Component {
  ComponentKind kind;
  std::string_view text;  // as written: "/", ".", ".." or the piece
  std::size_t end;        // offset just past it in the cut text
};

bool operator==(const Component& a, const Component& b) {
  return a.kind == b.kind && a.text == b.text;
}

std::vector<Component> components_of(std::string_view text) {
  std::vector<Component> components;
  std::size_t position = 0;
  if (text.starts_with('/')) {
    components.push_back({ComponentKind::root, text.substr(0, 1), 1});
    position = 1;
  } else if (text == "." || text.starts_with("./")) {
    components.push_back({ComponentKind::current_dir, text.substr(0, 1), 1});
    position = 1;
  }
  while (position < text.size()) {
    std::size_t slash = text.find('/', position);
    std::size_t end = slash == std::string_view::npos ? text.size() : slash;
    std::string_view piece = text.substr(position, end - position);
    if (piece == "..") {
      components.push_back({ComponentKind::parent_dir, piece, end});
    } else if (!piece.empty() && piece != ".") {
      components.push_back({ComponentKind::normal, piece, end});
    }
    position = end + 1;
  }
  return components;
}

bool is_prefix(const std::vector<Component>& base, const std::vector<Component>& path) {
  if (base.size() > path.size()) return false;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (!(base[i] == path[i])) return false;
  }
  return true;
}

// Drops separators and "." pieces from the front of `text`.
std::string_view skip_leading_separators(std::string_view text) {
  while (!text.empty()) {
    if (text.front() == '/') {
      text.remove_prefix(1);
    } else if (text == "." || text.starts_with("./")) {
      text.remove_prefix(1);
    } else {
      break;
    }
  }
  return text;
}

// The text up to the end of the last component's stem: its last "." and
// what follows go, unless that "." is the component's first character.
// A last component that is not a normal one keeps the text whole.
std::string_view without_extension(std::string_view text) {
  std::vector<Component> components = components_of(text);
  if (components.empty() || components.back().kind != ComponentKind::normal) return text;
  const Component& last = components.back();
  std::size_t dot = last.text.rfind('.');
  std::size_t stem_length = dot == std::string_view::npos || dot == 0 ? last.text.size() : dot;
  std::size_t stem_end = last.end - last.text.size() + stem_length;
  return text.substr(0, stem_end);
}

}  // namespace

Namespace namespace_from_path(std::string_view base, std::string_view path) {
  std::vector<Component> base_components = components_of(base);
  std::vector<Component> path_components = components_of(path);
  std::string_view working = path;
  if (!base_components.empty() && is_prefix(base_components, path_components)) {
    std::size_t matched_end = path_components[base_components.size() - 1].end;
    working = skip_leading_separators(path.substr(matched_end));
  }
  working = without_extension(working);

  Namespace result;
  for (const Component& component : components_of(working)) {
    result.components.emplace_back(component.text);
  }
  return result;
}

}  // namespace vok::py

// The namespace that `parse_file(base, path)` gives a definition file.
#pragma once

#include <string_view>

#include "vok/data/records.hpp"

namespace vok::py {

// One piece per path component of `path` with `base` taken off the front
// (when `base` is a component-wise prefix of it) and the extension of the
// last component dropped. Paths are cut at "/" alone: a leading "/" is the
// piece "/", a leading "." component is ".", ".." is kept as "..", while
// repeated separators and inner "." components are passed over. Only the
// texts are looked at: nothing is read from the file system, and the
// result may be empty.
Namespace namespace_from_path(std::string_view base, std::string_view path);

}  // namespace vok::py

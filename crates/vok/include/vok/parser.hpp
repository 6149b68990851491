// From a definition text (or file) to one VokModule.
#pragma once

#include <expected>
#include <string_view>
#include <vector>

#include "vok/ast.hpp"
#include "vok/data/records.hpp"
#include "vok/parse_error.hpp"

namespace vok {

// Runs the grammar over `text` (valid UTF-8) and walks its pairs into the
// top-level items, in text order. Writes one deprecation warning to file
// descriptor 2 for each member declared with `handles`.
std::expected<std::vector<AstElement>, ParseError> parse_raw(std::string_view text);

// Assembles the module: drops top-level comments, attaches service-body
// comments to the member after them, and aborts the call (CallAborted) on a
// duplicate data type, enum, service, or function or event of one service.
// The records move out of `items`; a caller that keeps its items passes a
// copy.
VokModule build_module(Namespace namespace_, std::vector<AstElement> items);

// The whole parse of a text: the grammar run and walk of `parse_raw`, then
// `build_module` under `namespace_`.
std::expected<VokModule, ParseError> parse_module(std::string_view text, Namespace namespace_);

// Reads the file `path` whole as UTF-8 and parses it under `namespace_`.
// Reading failures are Other errors ("stream did not contain valid UTF-8",
// "No such file or directory (os error 2)", ...).
std::expected<VokModule, ParseError> read_and_parse_file(std::string_view path, Namespace namespace_);

}  // namespace vok

// The one-line debug text of every record.
//
// A record prints as its type name, " { ", its fields in declaration order as
// `name: value` separated by ", ", and " }". Texts are quoted with backslash
// escapes (see `append_quoted`), lists print as "[a, b]", named members as
// `("name", Record { ... })`, optionals as "None" or "Some(value)", booleans
// as "true"/"false" and integers in decimal. The text never holds a line
// break. It is what Python's repr() and str() give for a record's object.
//
// Each operation appends to `out` and changes nothing else.
#pragma once

#include <string>
#include <string_view>

#include "vok/data/records.hpp"

namespace vok {

void vok_module_debug_text(const VokModule& record, std::string& out);
void namespace_debug_text(const Namespace& record, std::string& out);
void import_debug_text(const Import& record, std::string& out);
void data_type_debug_text(const DataType& record, std::string& out);
void enum_debug_text(const Enum& record, std::string& out);
void enum_value_debug_text(const EnumValue& record, std::string& out);
void service_debug_text(const Service& record, std::string& out);
void dependency_debug_text(const Dependency& record, std::string& out);
void function_debug_text(const Function& record, std::string& out);
void event_debug_text(const Event& record, std::string& out);
void type_name_debug_text(const TypeName& record, std::string& out);
void attribute_debug_text(const Attribute& record, std::string& out);
void parameter_debug_text(const Parameter& record, std::string& out);

// Appends `text` (valid UTF-8) in its quoted form: a double quote, each
// character, a double quote. NUL, TAB, CR, LF, '"' and '\' get their
// two-character escapes; Grapheme_Extend and non-printable characters
// (Unicode 15.0.0) are written as "\u{hex}"; everything else is unchanged.
void append_quoted(std::string_view text, std::string& out);

}  // namespace vok

#include "vok/data/debug_text.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

#include "vok/data/decimal.hpp"
#include "vok/data/unicode.hpp"

namespace vok {

namespace {

// Value writers, one per value form. They are declared before any is defined
// so that the list, optional and pair writers find every element writer,
// whatever the nesting.
void write_value(const std::string& text, std::string& out);
void write_value(bool flag, std::string& out);
void write_value(std::int64_t number, std::string& out);
void write_value(std::uint64_t number, std::string& out);
void write_value(const Namespace& record, std::string& out);
void write_value(const Import& record, std::string& out);
void write_value(const DataType& record, std::string& out);
void write_value(const Enum& record, std::string& out);
void write_value(const EnumValue& record, std::string& out);
void write_value(const Service& record, std::string& out);
void write_value(const Dependency& record, std::string& out);
void write_value(const Function& record, std::string& out);
void write_value(const Event& record, std::string& out);
void write_value(const TypeName& record, std::string& out);
void write_value(const Attribute& record, std::string& out);
void write_value(const Parameter& record, std::string& out);
template <class T>
void write_value(const std::vector<T>& items, std::string& out);
template <class T>
void write_value(const std::optional<T>& value, std::string& out);
template <class Record>
void write_value(const Named<Record>& member, std::string& out);

// One `name: value` entry of a record, so that each record's writer reads
// like its field list.
template <class T>
struct Field {
  std::string_view name;
  const T& value;
};
template <class T>
Field(std::string_view, const T&) -> Field<T>;

template <class... T>
void write_record(std::string& out, std::string_view type_name, const Field<T>&... fields) {
  out += type_name;
  out += " { ";
  std::string_view separator;
  ((out += separator, out += fields.name, out += ": ", write_value(fields.value, out),
    separator = ", "),
   ...);
  out += " }";
}

template <class T>
void write_value(const std::vector<T>& items, std::string& out) {
  out += '[';
  std::string_view separator;
  for (const T& item : items) {
    out += separator;
    write_value(item, out);
    separator = ", ";
  }
  out += ']';
}

template <class T>
void write_value(const std::optional<T>& value, std::string& out) {
  if (!value) {
    out += "None";
    return;
  }
  out += "Some(";
  write_value(*value, out);
  out += ')';
}

template <class Record>
void write_value(const Named<Record>& member, std::string& out) {
  out += '(';
  append_quoted(member.first, out);
  out += ", ";
  write_value(member.second, out);
  out += ')';
}

void write_value(const std::string& text, std::string& out) { append_quoted(text, out); }
void write_value(bool flag, std::string& out) { out += flag ? "true" : "false"; }
void write_value(std::int64_t number, std::string& out) { append_decimal(out, number); }
void write_value(std::uint64_t number, std::string& out) { append_decimal(out, number); }

void write_value(const Namespace& record, std::string& out) { namespace_debug_text(record, out); }
void write_value(const Import& record, std::string& out) { import_debug_text(record, out); }
void write_value(const DataType& record, std::string& out) { data_type_debug_text(record, out); }
void write_value(const Enum& record, std::string& out) { enum_debug_text(record, out); }
void write_value(const EnumValue& record, std::string& out) { enum_value_debug_text(record, out); }
void write_value(const Service& record, std::string& out) { service_debug_text(record, out); }
void write_value(const Dependency& record, std::string& out) { dependency_debug_text(record, out); }
void write_value(const Function& record, std::string& out) { function_debug_text(record, out); }
void write_value(const Event& record, std::string& out) { event_debug_text(record, out); }
void write_value(const TypeName& record, std::string& out) { type_name_debug_text(record, out); }
void write_value(const Attribute& record, std::string& out) { attribute_debug_text(record, out); }
void write_value(const Parameter& record, std::string& out) { parameter_debug_text(record, out); }

// Bytes that stand for themselves in a quoted text: printable ASCII other
// than the two characters with backslash escapes.
constexpr std::array<bool, 256> k_plain_byte = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0x20; byte < 0x7F; ++byte) plain[byte] = byte != '"' && byte != '\\';
  return plain;
}();

bool is_plain(char byte) { return k_plain_byte[static_cast<unsigned char>(byte)]; }

void append_code_point_escape(char32_t c, std::string& out) {
  char digits[8];  // a char32_t has eight hex digits at most
  const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<std::uint32_t>(c), 16);
  out += "\\u{";
  out.append(digits, result.ptr);
  out += '}';
}

}  // namespace

void append_quoted(std::string_view text, std::string& out) {
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Most texts are plain ASCII; copy such runs whole.
    std::size_t run_end = pos;
    while (run_end < text.size() && is_plain(text[run_end])) ++run_end;
    out.append(text, pos, run_end - pos);
    pos = run_end;
    if (pos == text.size()) break;

    std::size_t length = 1;
    const char32_t c = unicode::decode_utf8(text, pos, length);
    switch (c) {
      case U'\0': out += "\\0"; break;
      case U'\t': out += "\\t"; break;
      case U'\r': out += "\\r"; break;
      case U'\n': out += "\\n"; break;
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      default:
        if (unicode::is_grapheme_extend(c) || !unicode::is_printable(c)) {
          append_code_point_escape(c, out);
        } else {
          out.append(text, pos, length);
        }
    }
    pos += length;
  }
  out += '"';
}

void vok_module_debug_text(const VokModule& record, std::string& out) {
  write_record(out, "VokModule", Field{"namespace", record.namespace_},
               Field{"imports", record.imports}, Field{"data_types", record.data_types},
               Field{"enums", record.enums}, Field{"services", record.services});
}

void namespace_debug_text(const Namespace& record, std::string& out) {
  write_record(out, "Namespace", Field{"components", record.components});
}

void import_debug_text(const Import& record, std::string& out) {
  write_record(out, "Import", Field{"path", record.path}, Field{"attributes", record.attributes});
}

void data_type_debug_text(const DataType& record, std::string& out) {
  write_record(out, "DataType", Field{"properties", record.properties},
               Field{"attributes", record.attributes});
}

void enum_debug_text(const Enum& record, std::string& out) {
  write_record(out, "Enum", Field{"values", record.values},
               Field{"attributes", record.attributes});
}

void enum_value_debug_text(const EnumValue& record, std::string& out) {
  write_record(out, "EnumValue", Field{"value", record.value},
               Field{"attributes", record.attributes}, Field{"comments", record.comments});
}

void service_debug_text(const Service& record, std::string& out) {
  write_record(out, "Service", Field{"dependencies", record.dependencies},
               Field{"functions", record.functions}, Field{"events", record.events},
               Field{"attributes", record.attributes});
}

void dependency_debug_text(const Dependency& record, std::string& out) {
  write_record(out, "Dependency", Field{"name", record.name},
               Field{"attributes", record.attributes}, Field{"comments", record.comments});
}

void function_debug_text(const Function& record, std::string& out) {
  write_record(out, "Function", Field{"arguments", record.arguments},
               Field{"return_type", record.return_type},
               Field{"attributes", record.attributes}, Field{"comments", record.comments});
}

void event_debug_text(const Event& record, std::string& out) {
  write_record(out, "Event", Field{"arguments", record.arguments},
               Field{"attributes", record.attributes}, Field{"comments", record.comments});
}

void type_name_debug_text(const TypeName& record, std::string& out) {
  write_record(out, "TypeName", Field{"typ", record.typ}, Field{"is_list", record.is_list},
               Field{"count", record.count}, Field{"attributes", record.attributes},
               Field{"comments", record.comments});
}

void attribute_debug_text(const Attribute& record, std::string& out) {
  write_record(out, "Attribute", Field{"name", record.name},
               Field{"parameters", record.parameters});
}

void parameter_debug_text(const Parameter& record, std::string& out) {
  write_record(out, "Parameter", Field{"name", record.name}, Field{"value", record.value});
}

}  // namespace vok

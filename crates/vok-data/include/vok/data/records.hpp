// The records of a parsed definition text.
//
// Every record is a plain value that owns all its texts, lists and nested
// records outright: nothing refers back to the definition text, to the
// grammar's pairs or to a parent record. Copying a record (the implicit copy
// constructor) is therefore a deep copy that shares nothing with the
// original; moving one hands its storage on without copying.
//
// Fields are declared in the order in which the debug text prints them and in
// which the Python classes list their attributes. `VokModule::namespace_`
// carries a trailing underscore only because `namespace` is a C++ keyword.
// Every field has a default member initializer, so a designated initializer
// may name only the fields it sets without -Wmissing-field-initializers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vok {

// A named member: the member's name and its record, kept in source order.
// Lists of these are never maps; the data model allows repeated names.
template <class Record>
using Named = std::pair<std::string, Record>;

// A "::"-separated name taken apart.
struct Namespace {
  std::vector<std::string> components{};
};

// One argument of an attribute: `name` exactly as written ("::" included),
// `value` the characters between the quotes with escapes as written.
struct Parameter {
  std::string name{};
  std::optional<std::string> value{};
};

// One attribute of a "#[ ... ]" group.
struct Attribute {
  Namespace name{};
  std::vector<Parameter> parameters{};
};

// One use of a type: a property's, an argument's or a return type.
struct TypeName {
  Namespace typ{};
  bool is_list = false;
  std::optional<std::uint64_t> count{};
  std::vector<Attribute> attributes{};
  std::vector<std::string> comments{};
};

struct Import {
  Namespace path{};
  std::vector<Attribute> attributes{};
};

struct DataType {
  std::vector<Named<TypeName>> properties{};
  std::vector<Attribute> attributes{};
};

struct EnumValue {
  std::optional<std::int64_t> value{};
  std::vector<Attribute> attributes{};
  std::vector<std::string> comments{};
};

struct Enum {
  std::vector<Named<EnumValue>> values{};
  std::vector<Attribute> attributes{};
};

// A service member written "depends on <path>;".
struct Dependency {
  Namespace name{};
  std::vector<Attribute> attributes{};
  std::vector<std::string> comments{};
};

// A service member written with `fn` (or the deprecated `handles`).
struct Function {
  std::vector<Named<TypeName>> arguments{};
  std::optional<TypeName> return_type{};
  std::vector<Attribute> attributes{};
  std::vector<std::string> comments{};
};

struct Event {
  std::vector<Named<TypeName>> arguments{};
  std::vector<Attribute> attributes{};
  std::vector<std::string> comments{};
};

struct Service {
  std::vector<Dependency> dependencies{};
  std::vector<Named<Function>> functions{};
  std::vector<Named<Event>> events{};
  std::vector<Attribute> attributes{};
};

// One parsed definition text.
struct VokModule {
  Namespace namespace_{};
  std::vector<Import> imports{};
  std::vector<Named<DataType>> data_types{};
  std::vector<Named<Enum>> enums{};
  std::vector<Named<Service>> services{};
};

// Splits `text` at every "::", from the left, occurrences not overlapping.
// Every piece is kept, empty ones included, so the result has at least one
// component: "" gives [""], "a:::b" gives ["a", ":b"]. Never fails.
Namespace namespace_from_text(std::string_view text);

}  // namespace vok

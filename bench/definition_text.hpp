// A definition text of a chosen size, written the way people write these
// files: imports, documented and attributed data types, enums and services.
// Every data type, enum and service name is unique, and so is every member
// name within a service, so the text also passes module assembly. The
// deprecated `handles` is left out: its warning would measure the terminal.
//
// The text depends only on the requested size (a fixed-seed generator of our
// own, no standard distribution), so every machine measures the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vok::bench {

namespace definition_text_detail {

class Picker {
 public:
  std::uint32_t below(std::uint32_t bound) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ % bound);
  }
  template <std::size_t N>
  std::string_view one_of(const std::array<std::string_view, N>& words) {
    return words[below(static_cast<std::uint32_t>(N))];
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15u;
};

inline constexpr std::array<std::string_view, 12> kNouns = {
    "Order", "Customer", "Invoice", "Shipment", "Account", "Product",
    "Payment", "Address", "Session", "Report", "Ticket", "Warehouse",
};
inline constexpr std::array<std::string_view, 14> kFields = {
    "id", "name", "created_at", "updated_at", "owner", "status", "amount",
    "currency", "notes", "tags", "parent", "version", "email", "quantity",
};
inline constexpr std::array<std::string_view, 10> kScalars = {
    "u8", "u16", "u32", "u64", "i32", "i64", "f64", "bool", "string", "bytes",
};
inline constexpr std::array<std::string_view, 8> kPaths = {
    "common::Id", "common::Timestamp", "money::Amount", "geo::Point",
    "crm::Contact", "auth::Token", "common::types::Uuid", "files::Blob",
};
inline constexpr std::array<std::string_view, 10> kVerbs = {
    "get", "list", "create", "update", "delete", "find", "archive", "restore", "count", "export",
};
inline constexpr std::array<std::string_view, 8> kStates = {
    "Pending", "Active", "Suspended", "Closed", "Failed", "Retrying", "Done", "Unknown",
};
inline constexpr std::array<std::string_view, 6> kRemarks = {
    "Kept for as long as the owner exists.",
    "Set by the server; clients never write it.",
    "Empty when nothing was given.",
    "Counted in the smallest unit of the currency.",
    "See the migration notes before changing this.",
    "Stable across releases.",
};

inline std::string type_text(Picker& pick, std::string_view local) {
  switch (pick.below(6)) {
    case 0: return "list of " + std::string(pick.one_of(kScalars));
    case 1: return std::to_string(4 << pick.below(4)) + " of u8";
    case 2: return std::string(pick.one_of(kPaths));
    case 3: return std::string(local);
    default: return std::string(pick.one_of(kScalars));
  }
}

inline void append_data(std::string& out, Picker& pick, std::size_t n, std::string_view noun) {
  const std::string name = std::string(noun) + std::to_string(n);
  out += "/// A " + std::string(noun) + " as the store keeps it.\n";
  if (pick.below(2) == 0) out += "#[derive(Debug, Clone), table(name = \"" + name + "\")]\n";
  out += "data " + name + " {\n";
  const std::uint32_t fields = 3 + pick.below(6);
  for (std::uint32_t f = 0; f < fields; ++f) {
    if (pick.below(3) == 0) out += "    /// " + std::string(pick.one_of(kRemarks)) + "\n";
    out += "    ";
    if (pick.below(5) == 0) out += "#[optional] ";
    out += std::string(kFields[f % kFields.size()]) + ": " + type_text(pick, "Status" + std::to_string(n)) + ",\n";
  }
  out += "};\n\n";
}

inline void append_enum(std::string& out, Picker& pick, std::size_t n) {
  out += "/// Where a record stands.\nenum Status" + std::to_string(n) + " {\n";
  const std::uint32_t values = 2 + pick.below(6);
  for (std::uint32_t v = 0; v < values; ++v) {
    if (pick.below(4) == 0) out += "    /// " + std::string(pick.one_of(kRemarks)) + "\n";
    out += "    ";
    if (pick.below(8) == 0) out += "#[deprecated] ";
    out += std::string(kStates[v]);
    if (pick.below(3) != 0) out += " = " + std::to_string(v + 1);
    out += ",\n";
  }
  out += "};\n\n";
}

inline void append_service(std::string& out, Picker& pick, std::size_t n, std::string_view noun) {
  const std::string record = std::string(noun) + std::to_string(n);
  out += "/// Serves " + std::string(noun) + " records.\n";
  if (pick.below(2) == 0) out += "#[version(major = \"2\", minor = \"" + std::to_string(pick.below(9)) + "\")]\n";
  out += "service " + record + "Service {\n";
  out += "    depends on storage::Backend;\n";
  if (pick.below(2) == 0) out += "    depends on " + std::string(pick.one_of(kPaths)) + ";\n";
  const std::uint32_t functions = 2 + pick.below(4);
  for (std::uint32_t f = 0; f < functions; ++f) {
    out += "\n    /// " + std::string(pick.one_of(kRemarks)) + "\n";
    if (pick.below(2) == 0) out += "    #[http(method = \"POST\", path = \"/v2/items\")]\n";
    out += "    fn " + std::string(kVerbs[f]) + "(";
    const std::uint32_t arguments = pick.below(4);
    for (std::uint32_t a = 0; a < arguments; ++a) {
      if (a > 0) out += ", ";
      if (pick.below(4) == 0) out += "#[validate] ";
      out += std::string(kFields[a]) + ": " + type_text(pick, record);
    }
    out += ")";
    if (pick.below(3) != 0) out += " -> " + (pick.below(2) == 0 ? record : "list of " + record);
    out += ";\n";
  }
  out += "\n    /// Fires whenever a record changes.\n";
  out += "    event changed(id: u64, status: Status" + std::to_string(n) + ");\n";
  if (pick.below(2) == 0) out += "    event removed(id: u64);\n";
  out += "};\n\n";
}

}  // namespace definition_text_detail

// About `target_bytes` bytes (at most one group of items more).
inline std::string definition_text(std::size_t target_bytes) {
  namespace detail = definition_text_detail;
  detail::Picker pick;
  std::string out;
  out.reserve(target_bytes + 4096);
  out += "/// Definitions of the store.\n\nimport common::types;\nimport money::Amount;\nimport geo;\n\n";
  for (std::size_t n = 0; out.size() < target_bytes; ++n) {
    const std::string_view noun = pick.one_of(detail::kNouns);
    if (n % 16 == 15) out += "import generated::part" + std::to_string(n) + ";\n\n";
    detail::append_enum(out, pick, n);
    detail::append_data(out, pick, n, noun);
    detail::append_service(out, pick, n, noun);
  }
  return out;
}

}  // namespace vok::bench

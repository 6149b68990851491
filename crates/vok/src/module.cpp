// Module assembly: from the walk's items to one VokModule.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "vok/abort.hpp"
#include "vok/abort_locations.hpp"
#include "vok/parser.hpp"

namespace vok {

namespace {

// The names met so far in one list, to find the first repeat in source
// order. Most lists are short, and a scan of a few names beats any table and
// needs no memory; a long list (a body of thousands of members) gets a hash
// set instead, so its checks stay linear in all.
//
// The views point at the names inside the module's own lists. Each list is
// reserved at its final length before its first member goes in, so it never
// reallocates and the names never move while the views are held.
class SeenNames {
 public:
  SeenNames(std::string_view what, AbortLocation where, std::size_t expected) : what_(what), where_(where) {
    if (expected > scanned_.size()) table_.reserve(expected);
  }

  void add_or_abort(std::string_view name) {
    if (!insert(name)) {
      std::string message = "Duplicate ";
      message += what_;
      message += ' ';
      message += name;
      message += '!';
      abort_call(where_, std::move(message));
    }
  }

 private:
  // False when `name` was there already.
  bool insert(std::string_view name) {
    if (count_ < scanned_.size()) {
      const auto end = scanned_.begin() + static_cast<std::ptrdiff_t>(count_);
      if (std::find(scanned_.begin(), end, name) != end) return false;
      scanned_[count_++] = name;
      return true;
    }
    if (count_ == scanned_.size()) table_.insert(scanned_.begin(), scanned_.end());
    ++count_;
    return table_.insert(name).second;
  }

  std::string_view what_;
  AbortLocation where_;
  std::size_t count_ = 0;
  std::array<std::string_view, 16> scanned_;
  std::unordered_set<std::string_view> table_;
};

// Hands the comments met since the last member to `comments`, after its own.
void take_pending(std::vector<std::string>& pending, std::vector<std::string>& comments) {
  if (comments.empty()) {
    comments.swap(pending);
  } else {
    for (auto& text : pending) comments.push_back(std::move(text));
  }
  pending.clear();
}

// How many items hold each alternative of their variant, from one pass over
// them: a large body is read once here and once more as it is assembled.
template <class Item>
class AlternativeCounts {
  using Variant = decltype(Item::value);

 public:
  explicit AlternativeCounts(const std::vector<Item>& items) {
    for (const Item& item : items) ++counts_[item.value.index()];
  }

  template <class Alternative, std::size_t I = 0>
  std::size_t of() const {
    if constexpr (std::is_same_v<std::variant_alternative_t<I, Variant>, Alternative>) {
      return counts_[I];
    } else {
      return of<Alternative, I + 1>();
    }
  }

 private:
  std::array<std::size_t, std::variant_size_v<Variant>> counts_{};
};

// Appends (name, record) to `list` and checks the name against the earlier
// ones, aborting on a repeat. The member goes in first so that the table can
// keep a view of the name where it stays; an abort drops the module anyway.
template <class Record>
Record& append_named(std::vector<Named<Record>>& list, SeenNames& seen, std::string&& name, Record&& record) {
  Named<Record>& member = list.emplace_back(std::move(name), std::move(record));
  seen.add_or_abort(member.first);
  return member.second;
}

void assemble_service(std::vector<ServiceItem>&& items, Service& service) {
  const AlternativeCounts counts(items);
  service.functions.reserve(counts.of<ServiceItem::Function>());
  service.events.reserve(counts.of<ServiceItem::Event>());
  service.dependencies.reserve(counts.of<ServiceItem::Dependency>());
  SeenNames functions("function", abort_locations::kDuplicateFunction, counts.of<ServiceItem::Function>());
  SeenNames events("event", abort_locations::kDuplicateEvent, counts.of<ServiceItem::Event>());
  std::vector<std::string> pending;
  for (ServiceItem& member : items) {
    if (auto* comment = std::get_if<ServiceItem::Comment>(&member.value)) {
      pending.push_back(std::move(comment->text));
    } else if (auto* dependency = std::get_if<ServiceItem::Dependency>(&member.value)) {
      take_pending(pending, service.dependencies.emplace_back(std::move(dependency->record)).comments);
    } else if (auto* function = std::get_if<ServiceItem::Function>(&member.value)) {
      Function& record =
          append_named(service.functions, functions, std::move(function->name), std::move(function->record));
      take_pending(pending, record.comments);
    } else if (auto* event = std::get_if<ServiceItem::Event>(&member.value)) {
      Event& record = append_named(service.events, events, std::move(event->name), std::move(event->record));
      take_pending(pending, record.comments);
    }
  }
}

}  // namespace

VokModule build_module(Namespace namespace_, std::vector<AstElement> items) {
  VokModule module;
  module.namespace_ = std::move(namespace_);
  const AlternativeCounts counts(items);
  module.imports.reserve(counts.of<AstElement::Import>());
  module.data_types.reserve(counts.of<AstElement::DataType>());
  module.enums.reserve(counts.of<AstElement::Enum>());
  module.services.reserve(counts.of<AstElement::Service>());
  SeenNames data_types("datatype", abort_locations::kDuplicateDataType, counts.of<AstElement::DataType>());
  SeenNames enums("enum", abort_locations::kDuplicateEnum, counts.of<AstElement::Enum>());
  SeenNames services("service", abort_locations::kDuplicateService, counts.of<AstElement::Service>());
  // Every record moves out of its item: the items die with this call and
  // nobody looks at them again.
  for (AstElement& item : items) {
    if (auto* import = std::get_if<AstElement::Import>(&item.value)) {
      module.imports.push_back(std::move(import->record));
    } else if (auto* data = std::get_if<AstElement::DataType>(&item.value)) {
      append_named(module.data_types, data_types, std::move(data->name), std::move(data->record));
    } else if (auto* enum_item = std::get_if<AstElement::Enum>(&item.value)) {
      append_named(module.enums, enums, std::move(enum_item->name), std::move(enum_item->record));
    } else if (auto* service = std::get_if<AstElement::Service>(&item.value)) {
      // The service's own name first: a duplicate inside the body of a
      // repeated service is never reached.
      Service& record = append_named(module.services, services, std::move(service->name),
                                     Service{.attributes = std::move(service->attributes)});
      assemble_service(std::move(service->items), record);
    }
    // Top-level comments belong to nothing.
  }
  return module;
}

std::expected<VokModule, ParseError> parse_module(std::string_view text, Namespace namespace_) {
  auto items = parse_raw(text);
  if (!items) return std::unexpected(std::move(items.error()));
  return build_module(std::move(namespace_), std::move(*items));
}

}  // namespace vok

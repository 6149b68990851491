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

// Finds the first repeated name of one list of named members, in source
// order: each member is checked as it is appended, against those before it.
// Most lists are short, and a scan of a few names beats any table and needs
// no memory; a long list (a body of thousands of members) gets a hash set,
// so its checks stay linear in all. The set keeps positions in the list and
// reads the names through the list, so the list may move its storage as it
// grows without leaving the set anything stale.
template <class Record>
class UniqueNames {
 public:
  using List = std::vector<Named<Record>>;

  // `length` is the list's final length; the list and the table are made
  // ready for it at once.
  UniqueNames(List& list, std::string_view what, AbortLocation where, std::size_t length)
      : list_(list), what_(what), where_(where), table_(0, Hash{}, SameName{&list}) {
    list.reserve(length);
    if (length > scan_limit) table_.reserve(length);
  }

  // Aborts the call when the member appended last repeats an earlier name.
  void check_last() {
    const std::size_t last = list_.size() - 1;
    if (is_first(last)) return;
    std::string message = "Duplicate ";
    message += what_;
    message += ' ';
    message += list_[last].first;
    message += '!';
    abort_call(where_, std::move(message));
  }

 private:
  static constexpr std::size_t scan_limit = 16;

  // A position in the list with the hash of the name there. The set's own
  // walks through a bucket compare hashes alone and touch the list only on a
  // match (the names lie far apart in a list of large records).
  struct Entry {
    std::size_t at;
    std::size_t hash;
  };
  struct Hash {
    std::size_t operator()(const Entry& entry) const noexcept { return entry.hash; }
  };
  struct SameName {
    const List* list;
    bool operator()(const Entry& a, const Entry& b) const noexcept {
      return a.hash == b.hash && (*list)[a.at].first == (*list)[b.at].first;
    }
  };

  bool insert(std::size_t at) {
    return table_.insert(Entry{at, std::hash<std::string_view>{}(list_[at].first)}).second;
  }

  bool is_first(std::size_t last) {
    if (last < scan_limit) {
      const auto end = list_.begin() + static_cast<std::ptrdiff_t>(last);
      return std::none_of(list_.begin(), end, [&](const Named<Record>& earlier) {
        return earlier.first == list_[last].first;
      });
    }
    if (last == scan_limit) {
      for (std::size_t at = 0; at < scan_limit; ++at) insert(at);
    }
    return insert(last);
  }

  const List& list_;
  std::string_view what_;
  AbortLocation where_;
  std::unordered_set<Entry, Hash, SameName> table_;
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
// ones, aborting on a repeat. The member goes in first, so that the check
// reads its name where it stays; an abort drops the module anyway.
template <class Record>
Record& append_named(std::vector<Named<Record>>& list, UniqueNames<Record>& names, std::string&& name,
                     Record&& record) {
  Named<Record>& member = list.emplace_back(std::move(name), std::move(record));
  names.check_last();
  return member.second;
}

void assemble_service(std::vector<ServiceItem>&& items, Service& service) {
  const AlternativeCounts counts(items);
  service.dependencies.reserve(counts.of<ServiceItem::Dependency>());
  UniqueNames functions(service.functions, "function", abort_locations::kDuplicateFunction,
                        counts.of<ServiceItem::Function>());
  UniqueNames events(service.events, "event", abort_locations::kDuplicateEvent, counts.of<ServiceItem::Event>());
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
  UniqueNames data_types(module.data_types, "datatype", abort_locations::kDuplicateDataType,
                         counts.of<AstElement::DataType>());
  UniqueNames enums(module.enums, "enum", abort_locations::kDuplicateEnum, counts.of<AstElement::Enum>());
  UniqueNames services(module.services, "service", abort_locations::kDuplicateService,
                       counts.of<AstElement::Service>());
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

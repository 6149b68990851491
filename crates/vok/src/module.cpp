// Module assembly: from the walk's items to one VokModule.
#include <string>
#include <string_view>
#include <functional>
#include <vector>
#include <utility>
#include <variant>

#include "vok/abort.hpp"
#include "vok/parser.hpp"

namespace vok {

namespace {

constexpr std::string_view kSourceFile = "crates/vok/src/parser";

// The names met so far in one list. A hash table finds the same first
// duplicate in source order as a scan of the list would, without the scan's
// quadratic cost on large bodies. Open addressing keeps one probe to one
// cache line or two, which matters once a body has thousands of members.
// The views point into the walk's items, which stay put for the whole
// assembly (the module's own copies move as its lists grow).
class SeenNames {
 public:
  SeenNames(std::string_view what, AbortLocation where, std::size_t expected) : what_(what), where_(where) {
    std::size_t capacity = 8;
    while (capacity < expected * 2) capacity *= 2;
    slots_.resize(capacity);
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
  struct Slot {
    std::size_t hash = 0;
    const char* data = nullptr;  // null: free
    std::size_t size = 0;
  };

  // False when `name` was there already.
  bool insert(std::string_view name) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t hash = std::hash<std::string_view>{}(name);
    const std::size_t mask = slots_.size() - 1;
    // A std::string's data() is never null, so null marks a free slot.
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.data == nullptr) {
        slot = Slot{hash, name.data(), name.size()};
        ++count_;
        return true;
      }
      if (slot.hash == hash && std::string_view(slot.data, slot.size) == name) return false;
    }
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.data == nullptr) continue;
      std::size_t i = slot.hash & mask;
      while (slots_[i].data != nullptr) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::string_view what_;
  AbortLocation where_;
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

// Hands the comments met since the last member to `record`, after its own.
void take_pending(std::vector<std::string>& pending, std::vector<std::string>& comments) {
  if (comments.empty()) {
    comments.swap(pending);
  } else {
    for (auto& text : pending) comments.push_back(std::move(text));
  }
  pending.clear();
}

template <class Alternative, class Item>
std::size_t count_of(const std::vector<Item>& items) {
  std::size_t count = 0;
  for (const Item& item : items) count += std::holds_alternative<Alternative>(item.value);
  return count;
}

Service assemble_service(const AstElement::Service& item) {
  Service service;
  service.attributes = item.attributes;
  const std::size_t function_count = count_of<ServiceItem::Function>(item.items);
  const std::size_t event_count = count_of<ServiceItem::Event>(item.items);
  service.functions.reserve(function_count);
  service.events.reserve(event_count);
  service.dependencies.reserve(count_of<ServiceItem::Dependency>(item.items));
  SeenNames functions("function", {kSourceFile, 515, 17}, function_count);
  SeenNames events("event", {kSourceFile, 528, 17}, event_count);
  std::vector<std::string> pending;
  for (const ServiceItem& member : item.items) {
    if (const auto* comment = std::get_if<ServiceItem::Comment>(&member.value)) {
      pending.push_back(comment->text);
    } else if (const auto* dependency = std::get_if<ServiceItem::Dependency>(&member.value)) {
      Dependency& copy = service.dependencies.emplace_back(dependency->record);
      take_pending(pending, copy.comments);
    } else if (const auto* function = std::get_if<ServiceItem::Function>(&member.value)) {
      functions.add_or_abort(function->name);
      auto& copy = service.functions.emplace_back(function->name, function->record);
      take_pending(pending, copy.second.comments);
    } else if (const auto* event = std::get_if<ServiceItem::Event>(&member.value)) {
      events.add_or_abort(event->name);
      auto& copy = service.events.emplace_back(event->name, event->record);
      take_pending(pending, copy.second.comments);
    }
  }
  return service;
}

}  // namespace

VokModule build_module(Namespace namespace_, const std::vector<AstElement>& items) {
  VokModule module;
  module.namespace_ = std::move(namespace_);
  const std::size_t data_type_count = count_of<AstElement::DataType>(items);
  const std::size_t enum_count = count_of<AstElement::Enum>(items);
  const std::size_t service_count = count_of<AstElement::Service>(items);
  module.imports.reserve(count_of<AstElement::Import>(items));
  module.data_types.reserve(data_type_count);
  module.enums.reserve(enum_count);
  module.services.reserve(service_count);
  SeenNames data_types("datatype", {kSourceFile, 557, 17}, data_type_count);
  SeenNames enums("enum", {kSourceFile, 568, 17}, enum_count);
  SeenNames services("service", {kSourceFile, 580, 17}, service_count);
  for (const AstElement& item : items) {
    if (const auto* import = std::get_if<AstElement::Import>(&item.value)) {
      module.imports.push_back(import->record);
    } else if (const auto* data = std::get_if<AstElement::DataType>(&item.value)) {
      data_types.add_or_abort(data->name);
      module.data_types.emplace_back(data->name, data->record);
    } else if (const auto* enum_item = std::get_if<AstElement::Enum>(&item.value)) {
      enums.add_or_abort(enum_item->name);
      module.enums.emplace_back(enum_item->name, enum_item->record);
    } else if (const auto* service = std::get_if<AstElement::Service>(&item.value)) {
      // The service's own name first: a duplicate inside the body of a
      // repeated service is never reached.
      services.add_or_abort(service->name);
      module.services.emplace_back(service->name, assemble_service(*service));
    }
    // Top-level comments belong to nothing.
  }
  return module;
}

}  // namespace vok

// The top-level items that the pair walk hands to the module assembly.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "vok/data/records.hpp"

namespace vok {

// One member or documentation comment of a service body, in text order.
// Dependencies, functions and events arrive with empty `comments`; the
// assembly attaches the preceding comment items to them.
struct ServiceItem {
  struct Comment {
    std::string text;
  };
  struct Dependency {
    vok::Dependency record;
  };
  struct Function {  // from `fn` or the deprecated `handles`
    std::string name;
    vok::Function record;
  };
  struct Event {
    std::string name;
    vok::Event record;
  };
  std::variant<Comment, Dependency, Function, Event> value;
};

// One top-level item of a definition text, in text order.
struct AstElement {
  struct Comment {
    std::string text;
  };
  struct Import {
    vok::Import record;
  };
  struct DataType {
    std::string name;
    vok::DataType record;
  };
  struct Enum {
    std::string name;
    vok::Enum record;
  };
  struct Service {
    std::string name;
    std::vector<ServiceItem> items;
    std::vector<Attribute> attributes;
  };
  std::variant<Comment, Import, DataType, Enum, Service> value;
};

}  // namespace vok

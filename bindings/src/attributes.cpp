// The read-only attributes and the repr of the thirteen classes, and the
// class tables that list them in the order of the records' fields.
#include "vok/py/classes.hpp"
#include "vok/py/convert.hpp"
#include "vok/py/errors.hpp"
#include "vok/py/guard.hpp"

#include <cxxabi.h>

#include <string>
#include <utility>

#include "vok/abort_locations.hpp"
#include "vok/data/debug_text.hpp"

namespace vok::py {
namespace {

// Holds the record for shared reading for as long as it lives, so the count
// goes back down on every way out, an abort included.
class SharedRead {
 public:
  explicit SharedRead(std::int64_t& count) noexcept : count_(&count) { ++count; }
  ~SharedRead() {
    if (count_ != nullptr) --*count_;
  }
  SharedRead(const SharedRead&) = delete;
  SharedRead& operator=(const SharedRead&) = delete;

  // For a thread that CPython ends at exit: it unwinds without the
  // interpreter lock and must not write to the object. Its read never ends,
  // and the count keeps saying so.
  void abandon() noexcept { count_ = nullptr; }

 private:
  std::int64_t* count_;
};

// No null check of the sanitizer: see `guarded` for the forced unwind's
// null object.
template <Record R, class Read>
[[gnu::no_sanitize("null")]] Object read_record(PyObject* self, Read&& read) {
  if (!PyObject_TypeCheck(self, type_object<R>())) {
    raise_conversion_error(self, class_spec<R>().name);
    return {};
  }
  Instance<R>* instance = instance_cast<R>(self);
  SharedRead shared(instance->borrow_count);
  try {
    return read(std::as_const(instance->record));
  } catch (const abi::__forced_unwind&) {
    shared.abandon();
    throw;
  }
}

// Converts the field where it lies: texts, numbers and lists are made from
// it directly, and every record in it is copied once, into the object that
// will own it, so nothing handed to Python refers into this record.
template <Record R, auto Field>
Object read_field(PyObject* self) {
  return read_record<R>(self, [](const R& record) { return into_py(record.*Field); });
}

template <Record R, void (*DebugText)(const R&, std::string&)>
PyObject* repr_slot(PyObject* self) {
  return guarded([&] {
    return read_record<R>(self, [](const R& record) {
      std::string text;
      DebugText(record, text);
      return into_py(text);
    });
  });
}

template <Record R, void (*DebugText)(const R&, std::string&), std::size_t N>
ClassSpec make_spec(const char* name, const char* type_name, const AttributeSpec (&attributes)[N],
                    AbortLocation allocation_abort) {
  return ClassSpec{name,
                   type_name,
                   static_cast<int>(sizeof(Instance<R>)),
                   attributes,
                   repr_slot<R, DebugText>,
                   dealloc_instance<R>,
                   allocation_abort};
}

constexpr AttributeSpec vok_module_attributes[] = {
    {"namespace", read_field<VokModule, &VokModule::namespace_>},
    {"imports", read_field<VokModule, &VokModule::imports>},
    {"data_types", read_field<VokModule, &VokModule::data_types>},
    {"enums", read_field<VokModule, &VokModule::enums>},
    {"services", read_field<VokModule, &VokModule::services>},
};
constexpr AttributeSpec namespace_attributes[] = {
    {"components", read_field<Namespace, &Namespace::components>},
};
constexpr AttributeSpec import_attributes[] = {
    {"path", read_field<Import, &Import::path>},
    {"attributes", read_field<Import, &Import::attributes>},
};
constexpr AttributeSpec data_type_attributes[] = {
    {"properties", read_field<DataType, &DataType::properties>},
    {"attributes", read_field<DataType, &DataType::attributes>},
};
constexpr AttributeSpec enum_attributes[] = {
    {"values", read_field<Enum, &Enum::values>},
    {"attributes", read_field<Enum, &Enum::attributes>},
};
constexpr AttributeSpec enum_value_attributes[] = {
    {"value", read_field<EnumValue, &EnumValue::value>},
    {"attributes", read_field<EnumValue, &EnumValue::attributes>},
    {"comments", read_field<EnumValue, &EnumValue::comments>},
};
constexpr AttributeSpec service_attributes[] = {
    {"dependencies", read_field<Service, &Service::dependencies>},
    {"functions", read_field<Service, &Service::functions>},
    {"events", read_field<Service, &Service::events>},
    {"attributes", read_field<Service, &Service::attributes>},
};
constexpr AttributeSpec dependency_attributes[] = {
    {"name", read_field<Dependency, &Dependency::name>},
    {"attributes", read_field<Dependency, &Dependency::attributes>},
    {"comments", read_field<Dependency, &Dependency::comments>},
};
constexpr AttributeSpec function_attributes[] = {
    {"arguments", read_field<Function, &Function::arguments>},
    {"return_type", read_field<Function, &Function::return_type>},
    {"attributes", read_field<Function, &Function::attributes>},
    {"comments", read_field<Function, &Function::comments>},
};
constexpr AttributeSpec event_attributes[] = {
    {"arguments", read_field<Event, &Event::arguments>},
    {"attributes", read_field<Event, &Event::attributes>},
    {"comments", read_field<Event, &Event::comments>},
};
constexpr AttributeSpec type_name_attributes[] = {
    {"typ", read_field<TypeName, &TypeName::typ>},
    {"is_list", read_field<TypeName, &TypeName::is_list>},
    {"count", read_field<TypeName, &TypeName::count>},
    {"attributes", read_field<TypeName, &TypeName::attributes>},
    {"comments", read_field<TypeName, &TypeName::comments>},
};
constexpr AttributeSpec attribute_attributes[] = {
    {"name", read_field<Attribute, &Attribute::name>},
    {"parameters", read_field<Attribute, &Attribute::parameters>},
};
constexpr AttributeSpec parameter_attributes[] = {
    {"name", read_field<Parameter, &Parameter::name>},
    {"value", read_field<Parameter, &Parameter::value>},
};

}  // namespace

template <>
const ClassSpec& class_spec<VokModule>() {
  static const ClassSpec spec = make_spec<VokModule, vok_module_debug_text>(
      "VokModule", "builtins.VokModule", vok_module_attributes, abort_locations::kVokModuleAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Import>() {
  static const ClassSpec spec = make_spec<Import, import_debug_text>(
      "Import", "builtins.Import", import_attributes, abort_locations::kImportAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Dependency>() {
  static const ClassSpec spec = make_spec<Dependency, dependency_debug_text>(
      "Dependency", "builtins.Dependency", dependency_attributes, abort_locations::kDependencyAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Parameter>() {
  static const ClassSpec spec = make_spec<Parameter, parameter_debug_text>(
      "Parameter", "builtins.Parameter", parameter_attributes, abort_locations::kParameterAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Attribute>() {
  static const ClassSpec spec = make_spec<Attribute, attribute_debug_text>(
      "Attribute", "builtins.Attribute", attribute_attributes, abort_locations::kAttributeAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<DataType>() {
  static const ClassSpec spec = make_spec<DataType, data_type_debug_text>(
      "DataType", "builtins.DataType", data_type_attributes, abort_locations::kDataTypeAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Enum>() {
  static const ClassSpec spec = make_spec<Enum, enum_debug_text>(
      "Enum", "builtins.Enum", enum_attributes, abort_locations::kEnumAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Service>() {
  static const ClassSpec spec = make_spec<Service, service_debug_text>(
      "Service", "builtins.Service", service_attributes, abort_locations::kServiceAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Function>() {
  static const ClassSpec spec = make_spec<Function, function_debug_text>(
      "Function", "builtins.Function", function_attributes, abort_locations::kFunctionAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Event>() {
  static const ClassSpec spec = make_spec<Event, event_debug_text>(
      "Event", "builtins.Event", event_attributes, abort_locations::kEventAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<TypeName>() {
  static const ClassSpec spec = make_spec<TypeName, type_name_debug_text>(
      "TypeName", "builtins.TypeName", type_name_attributes, abort_locations::kTypeNameAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<EnumValue>() {
  static const ClassSpec spec = make_spec<EnumValue, enum_value_debug_text>(
      "EnumValue", "builtins.EnumValue", enum_value_attributes, abort_locations::kEnumValueAllocation);
  return spec;
}
template <>
const ClassSpec& class_spec<Namespace>() {
  static const ClassSpec spec = make_spec<Namespace, namespace_debug_text>(
      "Namespace", "builtins.Namespace", namespace_attributes, abort_locations::kNamespaceAllocation);
  return spec;
}

}  // namespace vok::py

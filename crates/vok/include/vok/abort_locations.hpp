// Every place that an abort report names ("panicked at FILE:LINE:COLUMN").
//
// Callers match on these locations and the tests pin them byte for byte, so
// they are fixed values, not __LINE__: moving code must never move them. A
// change here changes what every caller sees.
#pragma once

#include "vok/abort.hpp"

namespace vok::abort_locations {

inline constexpr std::string_view kParser = "crates/vok/src/parser";

// A name met twice in one list of the module assembly.
inline constexpr AbortLocation kDuplicateDataType{kParser, 557, 17};
inline constexpr AbortLocation kDuplicateEnum{kParser, 568, 17};
inline constexpr AbortLocation kDuplicateService{kParser, 580, 17};
inline constexpr AbortLocation kDuplicateFunction{kParser, 515, 17};
inline constexpr AbortLocation kDuplicateEvent{kParser, 528, 17};

// The digit run of a counted type ("<n> of T") that no 64-bit count holds.
inline constexpr AbortLocation kUnreadableElementCount{kParser, 175, 48};

// The deprecation warning of `handles` could not be written.
inline constexpr AbortLocation kUnwritableWarning{"crates/vok/src/warning.cpp", 21, 3};

// The Python binding: a class object that could not be built, and an
// interpreter constructor (str, int, list, tuple) that returned nothing.
inline constexpr AbortLocation kClassBuildFailed{"bindings/src/classes.cpp", 60, 1};
inline constexpr AbortLocation kPythonApiFailed{"bindings/src/errors.cpp", 70, 1};

// An instance of a record's class could not be allocated: the line that
// declares the record in the data model's source, column 1.
inline constexpr std::string_view kRecords = "crates/vok-data/src/lib";
inline constexpr AbortLocation kVokModuleAllocation{kRecords, 48, 1};
inline constexpr AbortLocation kImportAllocation{kRecords, 106, 1};
inline constexpr AbortLocation kDependencyAllocation{kRecords, 137, 1};
inline constexpr AbortLocation kParameterAllocation{kRecords, 178, 1};
inline constexpr AbortLocation kAttributeAllocation{kRecords, 202, 1};
inline constexpr AbortLocation kDataTypeAllocation{kRecords, 239, 1};
inline constexpr AbortLocation kEnumAllocation{kRecords, 273, 1};
inline constexpr AbortLocation kServiceAllocation{kRecords, 304, 1};
inline constexpr AbortLocation kFunctionAllocation{kRecords, 371, 1};
inline constexpr AbortLocation kEventAllocation{kRecords, 422, 1};
inline constexpr AbortLocation kTypeNameAllocation{kRecords, 463, 1};
inline constexpr AbortLocation kEnumValueAllocation{kRecords, 521, 1};
inline constexpr AbortLocation kNamespaceAllocation{kRecords, 562, 1};

}  // namespace vok::abort_locations

// Exhausted memory at each allocation in turn, reached through the module's
// own entry points. For n = 1, 2, ... the n-th allocation fails (or every
// one from the n-th on) while py_vok parses a definition that uses every
// construct, reads and parses it from a file, or while a walk reads every
// attribute and the repr of every object of a parsed module. Each run must
// end in a normal return with the right result, or in the exception that
// stands for the failure, and leave behind no object, record or reference
// it made. A sweep ends at the first run that no failure reached, so an
// allocation added to the module later is covered without a change here.
//
// Two allocators fail in turn: C++'s global operator new (replaced below for
// this whole executable) and the interpreter's own (hooked through
// PyMem_SetAllocator in its three domains).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "case_names.hpp"
#include "embedded_python.hpp"
#include "vok/py/errors.hpp"
#include "vok/py/object.hpp"

namespace {

// Fails allocations while armed: the `fail_at`-th one after arming, and
// every later one too when `from_then_on`.
struct Countdown {
  bool armed = false;
  bool from_then_on = false;
  std::size_t fail_at = 0;
  std::size_t seen = 0;
  bool failed = false;

  void arm(std::size_t n, bool persistent) {
    *this = Countdown{true, persistent, n, 0, false};
  }
  // True when some allocation failed since arming.
  bool disarm() {
    armed = false;
    return failed;
  }
  bool next_fails() {
    if (!armed) return false;
    ++seen;
    if (seen < fail_at || (seen > fail_at && !from_then_on)) return false;
    failed = true;
    return true;
  }
};

Countdown cxx_countdown;
Countdown python_countdown;

// Blocks from operator new not yet handed back: what a run leaks shows here.
long long cxx_live_blocks = 0;

void* cxx_allocate(std::size_t size, std::size_t alignment) noexcept {
  if (cxx_countdown.next_fails()) return nullptr;
  if (size == 0) size = 1;
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(size);
  } else if (posix_memalign(&block, alignment, size) != 0) {
    block = nullptr;
  }
  if (block != nullptr) ++cxx_live_blocks;
  return block;
}

void* cxx_allocate_or_throw(std::size_t size, std::size_t alignment) {
  void* block = cxx_allocate(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void cxx_release(void* block) noexcept {
  if (block == nullptr) return;
  --cxx_live_blocks;
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return cxx_allocate_or_throw(size, 0); }
void* operator new[](std::size_t size) { return cxx_allocate_or_throw(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return cxx_allocate(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return cxx_allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return cxx_allocate_or_throw(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return cxx_allocate_or_throw(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return cxx_allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return cxx_allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept { cxx_release(block); }
void operator delete[](void* block) noexcept { cxx_release(block); }
void operator delete(void* block, std::size_t) noexcept { cxx_release(block); }
void operator delete[](void* block, std::size_t) noexcept { cxx_release(block); }
void operator delete(void* block, std::align_val_t) noexcept { cxx_release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { cxx_release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { cxx_release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { cxx_release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { cxx_release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { cxx_release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { cxx_release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { cxx_release(block); }

namespace vok::py {
namespace {

// ---- The interpreter's allocators ---------------------------------------------

// Each hook's context is the allocator it wraps.
struct PythonAllocator {
  PyMemAllocatorDomain domain;
  PyMemAllocatorEx wrapped;
};
PythonAllocator python_allocators[] = {{PYMEM_DOMAIN_RAW, {}}, {PYMEM_DOMAIN_MEM, {}}, {PYMEM_DOMAIN_OBJ, {}}};

PyMemAllocatorEx& wrapped(void* context) { return *static_cast<PyMemAllocatorEx*>(context); }

void* hooked_malloc(void* context, std::size_t size) {
  if (python_countdown.next_fails()) return nullptr;
  return wrapped(context).malloc(wrapped(context).ctx, size);
}
void* hooked_calloc(void* context, std::size_t count, std::size_t size) {
  if (python_countdown.next_fails()) return nullptr;
  return wrapped(context).calloc(wrapped(context).ctx, count, size);
}
void* hooked_realloc(void* context, void* block, std::size_t size) {
  if (python_countdown.next_fails()) return nullptr;
  return wrapped(context).realloc(wrapped(context).ctx, block, size);
}
void hooked_free(void* context, void* block) { wrapped(context).free(wrapped(context).ctx, block); }

void hook_python_allocators() {
  for (PythonAllocator& allocator : python_allocators) {
    PyMem_GetAllocator(allocator.domain, &allocator.wrapped);
    PyMemAllocatorEx hook{&allocator.wrapped, hooked_malloc, hooked_calloc, hooked_realloc, hooked_free};
    PyMem_SetAllocator(allocator.domain, &hook);
  }
}

// ---- What the runs work on ----------------------------------------------------

// Every construct of the language: imports with and without attributes,
// attributes with and without parameters on every kind of element,
// documentation comments, list and counted types (one with white space to
// collapse), a data body long enough for the name check's hash set, enum
// values with and without numbers, a service with a dependency, functions
// with and without a return type, the deprecated keyword and an event.
constexpr char sample_text[] = R"(/// Shapes, and the services that draw them.
import base::types;
#[origin(path = "lib/base/types.vok", since = "1.0")]
import base::log;

#[version(major = "1", minor = "20"), stable]
data Point {
    x: f32,
    /// Horizontal, in device-independent pixels.
    #[unit(name = "px")]
    y: f32,
    tags: list   of	string,
    raw: 4 of u8,
};

data Wide {
    field_00: u8, field_01: u8, field_02: u8, field_03: u8, field_04: u8, field_05: u8,
    field_06: u8, field_07: u8, field_08: u8, field_09: u8, field_10: u8, field_11: u8,
    field_12: u8, field_13: u8, field_14: u8, field_15: u8, field_16: u8, field_17: u8,
};

#[flags]
enum Color {
    Red,
    /// The colour of every shape drawn without one of its own.
    #[default]
    Green = 2,
    Blue = 30000000000,
};

#[singleton]
service ShapeRenderer {
    /// Writes every step that it takes to the log.
    #[optional]
    depends on base::log::Logger;
    /// Draws one shape and returns its outline.
    #[deprecated(note = "use render instead")]
    fn draw(#[strict(fast)] p: Point, times: u32) -> list of Point;
    fn clear();
    handles reset(everything: bool);
    /// Raised once a shape is on the screen.
    #[audit]
    event drawn(p: Point, at: 2 of u64);
};
)";

// A record class and its attribute names. The names are interned: the
// interpreter's attribute cache keeps the name object of each lookup, and a
// new name object for every read would look like memory that a run kept.
struct RecordClass {
  PyTypeObject* type;
  std::vector<Object> attribute_names;
};

// Made once per process, before any allocation is made to fail.
struct Subject {
  Object parse;
  Object parse_file;
  Object text;
  Object namespace_text;
  Object base;
  Object path;
  Object module;  // what the walk reads
  Object panic_type;
  Object out_of_memory_args;  // of the error for a content buffer that cannot be had
  std::string file_path;
  // The record classes, found by the first walk; a live instance holds a
  // reference to its class, so their counts show instances left behind.
  std::vector<RecordClass> classes;
};

Subject* subject = nullptr;

// The class of a record object, found the first time by `discover`.
const RecordClass* record_class(PyTypeObject* type, bool discover) {
  for (const RecordClass& known : subject->classes) {
    if (known.type == type) return &known;
  }
  if (!discover) return nullptr;
  RecordClass& found = subject->classes.emplace_back(RecordClass{type, {}});
  for (const PyGetSetDef* field = type->tp_getset; field != nullptr && field->name != nullptr; ++field) {
    found.attribute_names.push_back(Object::steal(PyUnicode_InternFromString(field->name)));
  }
  return &found;
}

// Reads the repr and every attribute of `value`, and of everything read
// from it, appending each repr to `reprs`. False with the error pending when
// a read fails. Record objects are those of heap types; lists and tuples are
// walked through, all else is a leaf. Only the first walk, with `discover`,
// allocates from C++, so the C++ countdown meets the module's allocations
// alone.
bool walk(PyObject* value, PyObject* reprs, bool discover = false) {
  if (PyList_Check(value) || PyTuple_Check(value)) {
    const Py_ssize_t size = PySequence_Fast_GET_SIZE(value);
    for (Py_ssize_t i = 0; i < size; ++i) {
      if (!walk(PySequence_Fast_GET_ITEM(value, i), reprs, discover)) return false;
    }
    return true;
  }
  if (!PyType_HasFeature(Py_TYPE(value), Py_TPFLAGS_HEAPTYPE)) return true;
  const RecordClass* record = record_class(Py_TYPE(value), discover);
  if (record == nullptr) {
    PyErr_SetString(PyExc_AssertionError, "a record class that the first walk did not meet");
    return false;
  }
  Object repr = Object::steal(PyObject_Repr(value));
  if (!repr || PyList_Append(reprs, repr.get()) < 0) return false;
  for (const Object& name : record->attribute_names) {
    Object read = Object::steal(PyObject_GetAttr(value, name.get()));
    if (!read || !walk(read.get(), reprs, discover)) return false;
  }
  return true;
}

enum class Action { parse, parse_file, walk };
enum class Allocator { cxx, python };

// One run of `action`: its result, or null with the error pending.
Object run(Action action) {
  switch (action) {
    case Action::parse: {
      PyObject* args[] = {subject->text.get(), subject->namespace_text.get()};
      return Object::steal(PyObject_Vectorcall(subject->parse.get(), args, 2, nullptr));
    }
    case Action::parse_file: {
      PyObject* args[] = {subject->base.get(), subject->path.get()};
      return Object::steal(PyObject_Vectorcall(subject->parse_file.get(), args, 2, nullptr));
    }
    case Action::walk: {
      Object reprs = Object::steal(PyList_New(0));
      if (!reprs || !walk(subject->module.get(), reprs.get())) return {};
      return reprs;
    }
  }
  return {};
}

// What a result is compared by: the walk's list of reprs, or a module's repr.
std::string result_text(PyObject* result) {
  Object text = Object::steal(PyList_Check(result) ? PyObject_Str(result) : PyObject_Repr(result));
  return embedded::text_of(text.get());
}

// What a run may leave behind: C++ blocks, record objects (through their
// classes' reference counts), references to what the runs work on, and the
// interpreter's small-object blocks. The last are counted only while C++
// allocations fail: when its own fail, the interpreter takes paths of its own
// (printing the error that an abort reports, for one) that may fill its
// caches for good.
struct Footprint {
  long long cxx_blocks = 0;
  Py_ssize_t class_references = 0;
  Py_ssize_t subject_references = 0;
  Py_ssize_t python_blocks = 0;
  bool operator==(const Footprint&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Footprint& footprint) {
  return out << "{C++ blocks " << footprint.cxx_blocks << ", class references " << footprint.class_references
             << ", subject references " << footprint.subject_references << ", interpreter blocks "
             << footprint.python_blocks << "}";
}

// sys.getallocatedblocks(), or -1 when it cannot be had.
Py_ssize_t interpreter_blocks() {
  PyObject* count_blocks = PySys_GetObject("getallocatedblocks");  // borrowed
  Object count = Object::steal(count_blocks != nullptr ? PyObject_CallNoArgs(count_blocks) : nullptr);
  const Py_ssize_t blocks = count ? PyLong_AsSsize_t(count.get()) : -1;
  if (blocks < 0) PyErr_Clear();
  return blocks;
}

Footprint footprint(Allocator failing) {
  Footprint now;
  if (failing == Allocator::cxx) now.python_blocks = interpreter_blocks();
  now.cxx_blocks = cxx_live_blocks;
  for (const RecordClass& record : subject->classes) now.class_references += Py_REFCNT(record.type);
  for (const Object* held : {&subject->parse, &subject->parse_file, &subject->text, &subject->namespace_text,
                             &subject->base, &subject->path, &subject->module}) {
    now.subject_references += Py_REFCNT(held->get());
  }
  return now;
}

// An abort prints the interpreter's error the way an unhandled one is
// printed, which also keeps it in sys; that is not the run's to answer for.
void forget_printed_error() {
  for (const char* name : {"last_exc", "last_type", "last_value", "last_traceback"}) {
    if (PySys_SetObject(name, nullptr) < 0) PyErr_Clear();
  }
}

void write_sample_file(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fputs(sample_text, file) < 0) ADD_FAILURE() << "cannot write " << path;
  if (file != nullptr) std::fclose(file);
}

Object must(PyObject* made) {
  if (made == nullptr) {
    PyErr_Print();
    ADD_FAILURE() << "setting up the subject failed";
  }
  return Object::steal(made);
}

void make_subject() {
  embedded::start_interpreter();
  hook_python_allocators();
  static Subject made;
  subject = &made;
  Object module = must(PyImport_ImportModule("py_vok"));
  made.parse = must(PyObject_GetAttrString(module.get(), "parse"));
  made.parse_file = must(PyObject_GetAttrString(module.get(), "parse_file"));
  made.text = must(PyUnicode_FromString(sample_text));
  made.namespace_text = must(PyUnicode_FromString("shapes::v1"));

  const std::string folder = ::testing::TempDir();
  made.file_path = folder + "allocation_sample_" + std::to_string(getpid()) + ".vok";
  write_sample_file(made.file_path);
  made.base = must(PyUnicode_FromString(folder.c_str()));
  made.path = must(PyUnicode_FromString(made.file_path.c_str()));

  made.module = run(Action::parse);
  Object reprs = must(PyList_New(0));
  if (!made.module || !walk(made.module.get(), reprs.get(), true)) {
    PyErr_Print();
    ADD_FAILURE() << "the sample does not parse and walk";
  }
  EXPECT_EQ(made.classes.size(), 13u) << "the sample should reach every record class";

  // The abort exception type is made on the first abort; make it now, so
  // that it is not counted against the run that first aborts.
  Object duplicates = must(PyUnicode_FromString("data A {}; data A {};"));
  PyObject* args[] = {duplicates.get(), made.namespace_text.get()};
  Object aborted = Object::steal(PyObject_Vectorcall(made.parse.get(), args, 2, nullptr));
  EXPECT_FALSE(aborted);
  Object abort_error = take_raised_exception();
  if (abort_error) made.panic_type = Object::borrow(reinterpret_cast<PyObject*>(Py_TYPE(abort_error.get())));
  made.out_of_memory_args = must(Py_BuildValue("(s)", "Other(out of memory)"));

  // The interpreter keeps released MemoryError objects for reuse, up to a
  // limit; fill that store, so that it does not grow during a run.
  std::vector<Object> memory_errors;
  for (int i = 0; i < 32; ++i) {
    PyErr_NoMemory();
    memory_errors.push_back(take_raised_exception());
  }
  forget_printed_error();  // interns the names it uses
}

struct SweepCase {
  const char* label;
  Action action;
  Allocator allocator;
  bool from_then_on;
};

void PrintTo(const SweepCase& row, std::ostream* out) { *out << row.label; }

class AllocationFailure : public ::testing::TestWithParam<SweepCase> {
 protected:
  // The sample file goes with each round of the suites (--gtest_repeat);
  // the rest is made once per process.
  static void SetUpTestSuite() {
    if (subject == nullptr) {
      make_subject();
    } else {
      write_sample_file(subject->file_path);
    }
  }
  static void TearDownTestSuite() {
    if (subject != nullptr) std::remove(subject->file_path.c_str());
  }
};

// Whether `error` is the exception a run may end in: MemoryError always;
// the abort that a failed interpreter allocation leads to; and for a file,
// the read error that stands for a content buffer it could not have. Judged
// by identity and comparison alone: asking the interpreter for names keeps
// memory of its own, which the footprint would count.
bool expected_error(const SweepCase& row, PyObject* error) {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(error));
  if (type == PyExc_MemoryError) return true;
  if (row.allocator == Allocator::python) return type == subject->panic_type.get();
  PyObject* args = reinterpret_cast<PyBaseExceptionObject*>(error)->args;
  return row.action == Action::parse_file && type == PyExc_Exception && args != nullptr &&
         PyObject_RichCompareBool(args, subject->out_of_memory_args.get(), Py_EQ) == 1;
}

// The exception's class and arguments, for a report.
std::string describe(PyObject* error) {
  return embedded::type_name_of(error) + " " + ::testing::PrintToString(embedded::string_args(error));
}

TEST_P(AllocationFailure, EveryRunEndsInItsResultOrItsError) {
  const SweepCase& row = GetParam();
  ASSERT_NE(subject, nullptr);
  Countdown& countdown = row.allocator == Allocator::cxx ? cxx_countdown : python_countdown;

  // Two runs first: whatever is made once per process is made by then.
  std::string expected;
  for (int warm_up = 0; warm_up < 2; ++warm_up) {
    Object result = run(row.action);
    ASSERT_TRUE(result) << "the run fails with nothing failing";
    expected = result_text(result.get());
  }

  constexpr std::size_t enough = 100000;
  std::size_t n = 1;
  for (; n < enough; ++n) {
    const Footprint before = footprint(row.allocator);
    countdown.arm(n, row.from_then_on);
    Object result = run(row.action);
    const bool failed = countdown.disarm();
    Object error = take_raised_exception();
    forget_printed_error();

    if (result) {
      EXPECT_FALSE(error) << "run " << n << " returned a result with an error pending";
      EXPECT_EQ(result_text(result.get()), expected) << "run " << n << " returned a wrong result";
    } else if (!error) {
      ADD_FAILURE() << "run " << n << " returned nothing and raised nothing";
    } else {
      if (!expected_error(row, error.get())) ADD_FAILURE() << "run " << n << " raised " << describe(error.get());
    }
    const bool returned = static_cast<bool>(result);
    result = Object();
    error = Object();
    EXPECT_EQ(footprint(row.allocator), before) << "run " << n << " left something behind";
    if (!failed) {
      EXPECT_TRUE(returned) << "the run that no failure reached failed";
      break;
    }
    if (HasFailure()) break;  // one run's report is enough to go on
  }
  EXPECT_LT(n, enough) << "no run got through without a failure";
  RecordProperty("runs", static_cast<int>(n));
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, AllocationFailure,
    ::testing::Values(SweepCase{"ParseCxxOnce", Action::parse, Allocator::cxx, false},
                      SweepCase{"ParseCxxFromThenOn", Action::parse, Allocator::cxx, true},
                      SweepCase{"ParsePythonOnce", Action::parse, Allocator::python, false},
                      SweepCase{"ParsePythonFromThenOn", Action::parse, Allocator::python, true},
                      SweepCase{"ParseFileCxxOnce", Action::parse_file, Allocator::cxx, false},
                      SweepCase{"ParseFileCxxFromThenOn", Action::parse_file, Allocator::cxx, true},
                      SweepCase{"ParseFilePythonOnce", Action::parse_file, Allocator::python, false},
                      SweepCase{"ParseFilePythonFromThenOn", Action::parse_file, Allocator::python, true},
                      SweepCase{"WalkCxxOnce", Action::walk, Allocator::cxx, false},
                      SweepCase{"WalkCxxFromThenOn", Action::walk, Allocator::cxx, true},
                      SweepCase{"WalkPythonOnce", Action::walk, Allocator::python, false},
                      SweepCase{"WalkPythonFromThenOn", Action::walk, Allocator::python, true}),
    vok::CaseLabel());

}  // namespace
}  // namespace vok::py

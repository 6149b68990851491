// The module object py_vok and its three functions.
// The binding's headers come first: they bring in Python.h, which must
// precede the standard headers.
#include "vok/py/convert.hpp"
#include "vok/py/errors.hpp"
#include "vok/py/file_namespace.hpp"
#include "vok/py/guard.hpp"
#include "vok/py/object.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>

#include "vok/data/records.hpp"
#include "vok/parse_error.hpp"
#include "vok/parser.hpp"

namespace vok::py {
namespace {

// ---- Argument binding -------------------------------------------------------

// Every function takes two required str parameters, positional or keyword.
struct Signature {
  const char* function;  // with "()", as the messages name it
  std::array<const char*, 2> parameters;
};

using Arguments = std::array<std::string_view, 2>;

// The UTF-8 texts borrow from the argument objects, which the caller keeps
// alive for the whole call. False with a TypeError (or the interpreter's
// UnicodeEncodeError) pending when the call does not fit the signature.
bool bind_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames, Arguments& texts) {
  constexpr Py_ssize_t parameter_count = 2;
  if (nargs > parameter_count) {
    PyErr_Format(PyExc_TypeError, "%s takes %zd positional arguments but %zd were given",
                 signature.function, parameter_count, nargs);
    return false;
  }
  std::array<PyObject*, 2> values{};
  for (Py_ssize_t i = 0; i < nargs; ++i) values[static_cast<std::size_t>(i)] = args[i];

  Py_ssize_t keyword_count = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < keyword_count; ++k) {
    PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
    std::size_t slot = 0;
    while (slot < values.size() &&
           PyUnicode_CompareWithASCIIString(keyword, signature.parameters[slot]) != 0) {
      ++slot;
    }
    if (slot == values.size()) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
                   signature.function, keyword);
      return false;
    }
    if (values[slot] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                   signature.function, signature.parameters[slot]);
      return false;
    }
    values[slot] = args[nargs + k];
  }

  if (values[0] == nullptr && values[1] == nullptr) {
    PyErr_Format(PyExc_TypeError, "%s missing 2 required positional arguments: '%s' and '%s'",
                 signature.function, signature.parameters[0], signature.parameters[1]);
    return false;
  }
  for (std::size_t slot = 0; slot < values.size(); ++slot) {
    if (values[slot] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'",
                   signature.function, signature.parameters[slot]);
      return false;
    }
  }

  for (std::size_t slot = 0; slot < values.size(); ++slot) {
    if (!PyUnicode_Check(values[slot])) {
      std::string prefix = std::string("argument '") + signature.parameters[slot] + "': ";
      raise_conversion_error(values[slot], "PyString", prefix.c_str());
      return false;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(values[slot], &size);
    if (utf8 == nullptr) return false;
    texts[slot] = std::string_view(utf8, static_cast<std::size_t>(size));
  }
  return true;
}

// ---- Bodies -------------------------------------------------------------------

// The module raises no exception class of its own: parse and file errors
// are plain Exception with the error's message as the only argument.
Object raise_parse_error(const ParseError& error) {
  std::string message = parse_error_display(error);
  Object text = checked(
      PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
  PyErr_SetObject(PyExc_Exception, text.get());
  return {};
}

Object module_result(std::expected<VokModule, ParseError> parsed) {
  if (!parsed) return raise_parse_error(parsed.error());
  return into_py_moving(std::move(*parsed));
}

Object parse(const Arguments& arguments) {
  auto [content, namespace_text] = arguments;
  return module_result(parse_module(content, namespace_from_text(namespace_text)));
}

Object parse_file(const Arguments& arguments) {
  auto [base, path] = arguments;
  // `base` only shortens the namespace; the file read is `path` as given.
  return module_result(read_and_parse_file(path, namespace_from_path(base, path)));
}

Object parse_file_with_namespace(const Arguments& arguments) {
  auto [path, namespace_text] = arguments;
  return module_result(read_and_parse_file(path, namespace_from_text(namespace_text)));
}

template <const Signature& signature, Object (*body)(const Arguments&)>
PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    Arguments texts;
    if (!bind_arguments(signature, args, nargs, kwnames, texts)) return Object();
    return body(texts);
  });
}

constexpr Signature parse_signature{"parse()", {"content", "namespace"}};
constexpr Signature parse_file_signature{"parse_file()", {"base", "path"}};
constexpr Signature parse_file_with_namespace_signature{"parse_file_with_namespace()",
                                                        {"path", "namespace"}};

template <class Fastcall>
PyCFunction as_cfunction(Fastcall function) {
  // The interpreter calls it back with the signature that the flags name.
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// The docs hold the text signature only, so __doc__ is None and
// __text_signature__ shows the parameters.
PyMethodDef function_defs[] = {
    {"parse", as_cfunction(entry<parse_signature, parse>), METH_FASTCALL | METH_KEYWORDS,
     "parse(content, namespace)\n--\n\n"},
    {"parse_file", as_cfunction(entry<parse_file_signature, parse_file>),
     METH_FASTCALL | METH_KEYWORDS, "parse_file(base, path)\n--\n\n"},
    {"parse_file_with_namespace",
     as_cfunction(entry<parse_file_with_namespace_signature, parse_file_with_namespace>),
     METH_FASTCALL | METH_KEYWORDS, "parse_file_with_namespace(path, namespace)\n--\n\n"},
};

// ---- Module initialisation ----------------------------------------------------

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "py_vok",
    "",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

constexpr std::int64_t no_interpreter = -1;
std::atomic<std::int64_t> creating_interpreter{no_interpreter};

// One module object per process, kept until the process ends.
PyObject* module_object = nullptr;

// An application may start a new interpreter after the module's own ended
// (which again has the main interpreter's identifier); the module, its
// classes and its abort class belong to the one that ended, and finalization
// has emptied the module, so nothing of them may be handed to the new one.
// Tests pin the refusal's text.
constexpr const char* kInterpreterFinalized =
    "py_vok cannot be imported again after its interpreter was finalized: it can be initialised "
    "once per process";

void mark_module_interpreter_finalized() { module_interpreter_finalized = true; }

bool add_module_functions(PyObject* module) {
  Object all = Object::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = Object::steal(PyList_New(0));
    if (!all || PyModule_AddObjectRef(module, "__all__", all.get()) < 0) return false;
  }
  Object module_name = Object::steal(PyUnicode_FromString("py_vok"));
  if (!module_name) return false;
  for (PyMethodDef& def : function_defs) {
    Object function = Object::steal(PyCMethod_New(&def, module, module_name.get(), nullptr));
    if (!function) return false;
    Object name = Object::steal(PyUnicode_FromString(def.ml_name));
    if (!name) return false;
    if (PyList_Append(all.get(), name.get()) < 0) return false;
    if (PyModule_AddObjectRef(module, def.ml_name, function.get()) < 0) return false;
  }
  return true;
}

Object init_module() {
  if (module_interpreter_finalized) {
    PyErr_SetString(PyExc_ImportError, kInterpreterFinalized);
    return {};
  }
  std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1) {
    restore_raised_exception(take_raised_exception_or_system_error());
    return {};
  }
  std::int64_t recorded = no_interpreter;
  if (!creating_interpreter.compare_exchange_strong(recorded, id) && recorded != id) {
    PyErr_SetString(PyExc_ImportError,
                    "py_vok does not support sub-interpreters yet: it can be imported in one "
                    "interpreter per process only; see https://py-vok.invalid/issues/1");
    return {};
  }
  if (module_object != nullptr) return Object::borrow(module_object);

  Object module = Object::steal(PyModule_Create2(&module_def, 1013));
  if (!module || !add_module_functions(module.get())) return {};
  // Making the module runs interpreter code, which may have made it
  // meanwhile; the first one stored stays.
  if (module_object == nullptr) {
    if (Py_AtExit(mark_module_interpreter_finalized) < 0) {
      PyErr_SetString(PyExc_ImportError,
                      "py_vok cannot be initialised: Py_AtExit has no room left for the "
                      "function that marks the end of its interpreter");
      return {};
    }
    module_object = module.release();
  }
  return Object::borrow(module_object);
}

}  // namespace
}  // namespace vok::py

PyMODINIT_FUNC PyInit_py_vok() {
  return vok::py::guarded([] { return vok::py::init_module(); });
}

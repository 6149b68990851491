import builtins
import gc
import sys
import weakref

import pytest

import py_vok
from conftest import HERE, run_child

# A way from the sample module to one object of every class.
REACH = {
    "VokModule": lambda m: m,
    "Namespace": lambda m: m.namespace,
    "Import": lambda m: m.imports[0],
    "DataType": lambda m: m.data_types[0][1],
    "Enum": lambda m: m.enums[0][1],
    "EnumValue": lambda m: m.enums[0][1].values[0][1],
    "Service": lambda m: m.services[0][1],
    "Dependency": lambda m: m.services[0][1].dependencies[0],
    "Function": lambda m: m.services[0][1].functions[0][1],
    "Event": lambda m: m.services[0][1].events[0][1],
    "TypeName": lambda m: m.data_types[0][1].properties[0][1],
    "Attribute": lambda m: m.data_types[0][1].attributes[0],
    "Parameter": lambda m: m.data_types[0][1].attributes[0].parameters[0],
}

by_class = pytest.mark.parametrize("name", list(REACH))


@by_class
def test_class_identity(module, name):
    cls = type(REACH[name](module))
    assert cls.__name__ == cls.__qualname__ == name
    assert cls.__module__ == "builtins"
    assert repr(cls) == f"<class 'builtins.{name}'>"
    assert cls.__doc__ is None
    assert cls.__bases__ == (object,)
    assert not hasattr(builtins, name)
    # One class object per class and process.
    other = py_vok.parse("import a; #[x(y = \"z\")] data D { f: u8, }; enum E { V, }; service S { depends on d; "
                         "fn f(#[a(b)] x: u8); event e(); };", "other")
    assert type(REACH[name](other)) is cls


@by_class
def test_no_constructor(module, name):
    cls = type(REACH[name](module))
    for make in (lambda: cls(), lambda: cls(1, key=2), lambda: cls.__new__(cls)):
        with pytest.raises(TypeError) as raised:
            make()
        assert str(raised.value) == "No constructor defined"


# Run in a child interpreter: once a class's __new__ has been replaced,
# CPython cannot put the class back as it was, so this process never does it.
PATCHED_NEW = """
import sys
sys.path.insert(0, sys.argv[2])
import py_vok
from conftest import SAMPLE
from test_classes import REACH

reach = REACH[sys.argv[1]]
before = reach(py_vok.parse(SAMPLE, "shapes::v1"))
cls, expected = type(before), repr(before)


def attempt(way):
    try:
        made = cls()
    except TypeError as error:
        print(way, "TypeError", error)
    else:
        print(way, "made", type(made).__name__)


cls.__new__ = lambda cls: object.__new__(cls)
attempt("replaced")
# object.__new__ is found again, now through the slot that replacing installed.
del cls.__new__
attempt("deleted")
# The module itself still makes instances of the class.
print("parse", repr(reach(py_vok.parse(SAMPLE, "shapes::v1"))) == expected)
"""


@by_class
def test_patched_new_cannot_make_an_instance(name):
    child = run_child(PATCHED_NEW, name, HERE)
    assert child.returncode == 0, child.stderr
    assert child.stdout.splitlines() == [
        "replaced TypeError No constructor defined",
        "deleted TypeError No constructor defined",
        "parse True",
    ]


@by_class
def test_cannot_be_subclassed(module, name):
    cls = type(REACH[name](module))
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@by_class
def test_instances_are_plain_read_only_objects(module, fields, name):
    obj = REACH[name](module)
    before = repr(obj)
    assert not gc.is_tracked(obj)
    with pytest.raises(TypeError):
        weakref.ref(obj)
    assert not hasattr(obj, "__dict__")
    for field in fields[name]:
        with pytest.raises(AttributeError):
            setattr(obj, field, None)
        with pytest.raises(AttributeError):
            delattr(obj, field)
    with pytest.raises(AttributeError):
        obj.extra = 1
    assert repr(obj) == before


@by_class
def test_descriptors(module, fields, name):
    cls = type(REACH[name](module))
    descriptors = {key: value for key, value in vars(cls).items()
                   if type(value).__name__ == "getset_descriptor"}
    assert set(descriptors) == set(fields[name])
    assert all(descriptor.__doc__ == "" for descriptor in descriptors.values())


@by_class
def test_repr_and_str_agree(module, name):
    obj = REACH[name](module)
    assert str(obj) == repr(obj)
    assert repr(obj).startswith(name + " { ")


def test_objects_compare_and_hash_by_identity(module):
    first, second = module.namespace, module.namespace
    assert first is not second
    assert first != second
    assert first == first
    assert hash(first) != hash(second)


def test_class_objects_are_mutable(module):
    cls = type(module.namespace)
    cls.note = "added"
    try:
        assert module.namespace.note == "added"
    finally:
        del cls.note


def test_dropping_instances_releases_their_class(module):
    cls = type(module.namespace)
    before = sys.getrefcount(cls)
    for _ in range(1000):
        module.namespace
    held = [module.namespace for _ in range(100)]
    assert sys.getrefcount(cls) == before + 100
    del held
    assert sys.getrefcount(cls) == before


def test_objects_outlive_their_source():
    module = py_vok.parse("data D { f: list of u8, };", "n")
    before = sys.getrefcount(module)
    data_type = module.data_types[0][1]
    assert sys.getrefcount(module) == before  # it holds its own record, not the module
    text = repr(data_type)
    del module
    gc.collect()
    assert repr(data_type) == text
    assert data_type.properties[0][1].is_list is True

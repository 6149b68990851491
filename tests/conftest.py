import os
import subprocess
import sys

import pytest

import py_vok

HERE = os.path.dirname(os.path.abspath(__file__))


def run_child(code, *args, timeout=120):
    """Runs `code` in a new process of this interpreter, with this process's
    environment (so that a sanitizer build is what the child loads too), and
    returns the finished process with its output as text."""
    return subprocess.run([sys.executable, "-c", code, *args], env=os.environ,
                          capture_output=True, text=True, timeout=timeout)

# A small definition that touches every record: an import, attributes with
# and without parameters, list and counted types, documentation comments on
# a property, an enum value and a function, a dependency, and a function
# without a return type.
SAMPLE = """\
/// Shapes and how to draw them.
import base::types;

#[version(major = "1"), stable]
data Point {
    x: f32,
    /// Horizontal.
    y: f32,
    tags: list of string,
    raw: 4 of u8,
};

enum Color {
    Red,
    /// The default.
    Green = 2,
};

service Shapes {
    depends on base::Log;
    /// Draws it.
    fn draw(#[strict(fast)] p: Point, times: u32) -> list of Point;
    fn clear();
    event drawn(p: Point);
};
"""

# The attributes of each class, in the order of the record's fields.
FIELDS = {
    "VokModule": ["namespace", "imports", "data_types", "enums", "services"],
    "Namespace": ["components"],
    "Import": ["path", "attributes"],
    "DataType": ["properties", "attributes"],
    "Enum": ["values", "attributes"],
    "EnumValue": ["value", "attributes", "comments"],
    "Service": ["dependencies", "functions", "events", "attributes"],
    "Dependency": ["name", "attributes", "comments"],
    "Function": ["arguments", "return_type", "attributes", "comments"],
    "Event": ["arguments", "attributes", "comments"],
    "TypeName": ["typ", "is_list", "count", "attributes", "comments"],
    "Attribute": ["name", "parameters"],
    "Parameter": ["name", "value"],
}


def to_plain(value):
    """The value with every record object turned into a dict of its attributes."""
    if isinstance(value, list):
        return [to_plain(item) for item in value]
    if isinstance(value, tuple):
        return tuple(to_plain(item) for item in value)
    name = type(value).__name__
    if name in FIELDS and type(value).__module__ == "builtins":
        return {"class": name, **{field: to_plain(getattr(value, field)) for field in FIELDS[name]}}
    return value


@pytest.fixture
def fields():
    return FIELDS


@pytest.fixture
def plain():
    return to_plain


@pytest.fixture
def module():
    return py_vok.parse(SAMPLE, "shapes::v1")


@pytest.fixture(scope="session")
def panic_exception():
    """The type that aborted calls raise (the module does not export it)."""
    try:
        py_vok.parse("data X {}; data X {};", "n")
    except BaseException as raised:  # noqa: B036 - it is no Exception subclass
        return type(raised)
    pytest.fail("a duplicate data type did not abort the call")

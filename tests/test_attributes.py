import gc

import pytest

import py_vok


def ns(*components):
    return {"class": "Namespace", "components": list(components)}


def typ(name, is_list=False, count=None, attributes=(), comments=()):
    return {"class": "TypeName", "typ": ns(*name.split("::")), "is_list": is_list,
            "count": count, "attributes": list(attributes), "comments": list(comments)}


def attribute(name, *parameters):
    return {"class": "Attribute", "name": ns(*name.split("::")),
            "parameters": [{"class": "Parameter", "name": p, "value": v} for p, v in parameters]}


def test_every_attribute_of_the_sample(module, plain):
    version = attribute("version", ("major", "1"))
    assert plain(module) == {
        "class": "VokModule",
        "namespace": ns("shapes", "v1"),
        "imports": [{"class": "Import", "path": ns("base", "types"), "attributes": []}],
        "data_types": [("Point", {
            "class": "DataType",
            "properties": [
                ("x", typ("f32")),
                ("y", typ("f32", comments=["Horizontal."])),
                ("tags", typ("string", is_list=True)),
                ("raw", typ("u8", is_list=True, count=4)),
            ],
            "attributes": [version, attribute("stable")],
        })],
        "enums": [("Color", {
            "class": "Enum",
            "values": [
                ("Red", {"class": "EnumValue", "value": None, "attributes": [], "comments": []}),
                ("Green", {"class": "EnumValue", "value": 2, "attributes": [],
                           "comments": ["The default."]}),
            ],
            "attributes": [],
        })],
        "services": [("Shapes", {
            "class": "Service",
            "dependencies": [{"class": "Dependency", "name": ns("base", "Log"),
                              "attributes": [], "comments": []}],
            "functions": [
                ("draw", {"class": "Function",
                          "arguments": [
                              ("p", typ("Point", attributes=[attribute("strict", ("fast", None))])),
                              ("times", typ("u32")),
                          ],
                          "return_type": typ("Point", is_list=True),
                          "attributes": [], "comments": ["Draws it."]}),
                ("clear", {"class": "Function", "arguments": [], "return_type": None,
                           "attributes": [], "comments": []}),
            ],
            "events": [("drawn", {"class": "Event", "arguments": [("p", typ("Point"))],
                                  "attributes": [], "comments": []})],
            "attributes": [],
        })],
    }


PAIR_LISTS = [
    lambda m: m.data_types,
    lambda m: m.enums,
    lambda m: m.services,
    lambda m: m.data_types[0][1].properties,
    lambda m: m.enums[0][1].values,
    lambda m: m.services[0][1].functions,
    lambda m: m.services[0][1].events,
    lambda m: m.services[0][1].functions[0][1].arguments,
    lambda m: m.services[0][1].events[0][1].arguments,
]
RECORD_LISTS = [
    lambda m: m.imports,
    lambda m: m.data_types[0][1].attributes,
    lambda m: m.data_types[0][1].attributes[0].parameters,
    lambda m: m.services[0][1].dependencies,
]


@pytest.mark.parametrize("read", PAIR_LISTS + RECORD_LISTS)
def test_every_read_makes_new_objects(module, read):
    first, second = read(module), read(module)
    assert type(first) is list and first is not second
    assert len(first) == len(second) > 0
    for a, b in zip(first, second):
        if type(a) is tuple:
            assert len(a) == 2 and type(a[0]) is str
            assert a[0] == b[0]
            a, b = a[1], b[1]
        assert a is not b
        assert repr(a) == repr(b)
    assert first != second


@pytest.mark.parametrize("read", PAIR_LISTS + RECORD_LISTS)
def test_items_read_back_as_in_the_parents_repr(module, read):
    items = read(module)
    for item in items:
        record = item[1] if type(item) is tuple else item
        assert repr(record) in repr(module)


def test_return_type_repr_is_part_of_its_function(module):
    function = module.services[0][1].functions[0][1]
    assert "return_type: Some(" + repr(function.return_type) + ")" in repr(function)


def test_changing_a_returned_list_changes_nothing(module):
    imports = module.imports
    imports.clear()
    components = module.namespace.components
    components.append("extra")
    components[0] = "changed"
    assert len(module.imports) == 1
    assert module.namespace.components == ["shapes", "v1"]


def test_empty_lists_are_new_each_time(module):
    enum = module.enums[0][1]
    first, second = enum.attributes, enum.attributes
    assert first == second == []
    assert first is not second


@pytest.mark.parametrize(
    ("text", "read", "expected"),
    [
        ("data D { a: 18446744073709551615 of u8, };",
         lambda m: m.data_types[0][1].properties[0][1].count, 18446744073709551615),
        ("data D { a: 0 of u8, };", lambda m: m.data_types[0][1].properties[0][1].count, 0),
        ("data D { a: u8, };", lambda m: m.data_types[0][1].properties[0][1].count, None),
        ("enum E { A = 9223372036854775807, };",
         lambda m: m.enums[0][1].values[0][1].value, 9223372036854775807),
        ("enum E { A = 0, };", lambda m: m.enums[0][1].values[0][1].value, 0),
        ('#[a(b = "")] import x;', lambda m: m.imports[0].attributes[0].parameters[0].value, ""),
        ('#[a(b)] import x;', lambda m: m.imports[0].attributes[0].parameters[0].value, None),
        ('#[a(b::c = "v\\"w")] import x;',
         lambda m: m.imports[0].attributes[0].parameters[0].name, "b::c"),
        ('#[a(b::c = "v\\"w")] import x;',
         lambda m: m.imports[0].attributes[0].parameters[0].value, 'v\\"w'),
        ("service S { fn f(); };",
         lambda m: m.services[0][1].functions[0][1].return_type, None),
    ],
)
def test_scalar_values(text, read, expected):
    value = read(py_vok.parse(text, "n"))
    assert value == expected
    assert type(value) is type(expected)


def test_booleans_are_the_interpreters_own():
    properties = py_vok.parse("data D { a: list of u8, b: u8, };", "n").data_types[0][1].properties
    assert properties[0][1].is_list is True
    assert properties[1][1].is_list is False


def test_non_ascii_texts():
    text = "service S {\n  /// héllo wörld ✓ \u3000\n  fn f();\n};"
    function = py_vok.parse(text, "ünï::côdé").services[0][1].functions[0][1]
    assert function.comments == ["héllo wörld ✓"]
    assert len(function.comments[0]) == 13
    assert py_vok.parse("", "ünï::côdé").namespace.components == ["ünï", "côdé"]


@pytest.mark.parametrize(
    ("namespace", "components"),
    [("", [""]), ("a::", ["a", ""]), ("::", ["", ""]), ("a:::b", ["a", ":b"]), (" a :: b ", [" a ", " b "])],
)
def test_namespace_text(namespace, components):
    assert py_vok.parse("", namespace).namespace.components == components


def test_deep_objects_survive_their_parents():
    module = py_vok.parse("service S { fn f(#[a(b = \"c\")] x: u8); };", "n")
    parameter = module.services[0][1].functions[0][1].arguments[0][1].attributes[0].parameters[0]
    del module
    gc.collect()
    assert (parameter.name, parameter.value) == ("b", "c")

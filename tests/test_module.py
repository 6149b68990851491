import importlib
import subprocess
import sys
import textwrap

import pytest

import py_vok

FUNCTIONS = {
    "parse": "(content, namespace)",
    "parse_file": "(base, path)",
    "parse_file_with_namespace": "(path, namespace)",
}


def test_module_surface():
    assert py_vok.__all__ == list(FUNCTIONS)
    assert py_vok.__doc__ == ""
    for name, signature in FUNCTIONS.items():
        function = getattr(py_vok, name)
        assert function.__doc__ is None
        assert function.__text_signature__ == signature
        assert function.__module__ == "py_vok"
        assert function.__self__ is py_vok
    # The record classes are reachable only through the objects returned.
    assert not hasattr(py_vok, "VokModule")
    assert not hasattr(py_vok, "PanicException")


def test_reimport_yields_the_same_module_object():
    first = importlib.import_module("py_vok")
    saved = sys.modules.pop("py_vok")
    try:
        again = importlib.import_module("py_vok")
    finally:
        sys.modules["py_vok"] = saved
    assert again is first
    assert again.parse is first.parse
    assert again.__all__ is first.__all__


def test_second_interpreter_is_refused():
    code = textwrap.dedent(
        """
        import py_vok
        try:
            import _testcapi
        except ImportError:
            raise SystemExit(77)
        _testcapi.run_in_subinterp(
            "try:\\n"
            "    import py_vok\\n"
            "except ImportError as e:\\n"
            "    import os\\n"
            "    os.write(1, ('refused: ' + str(e)).encode())\\n"
        )
        """
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    if result.returncode == 77:
        pytest.skip("this interpreter has no _testcapi")
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("refused: ")
    assert "sub-interpreters" in result.stdout


@pytest.mark.parametrize(
    ("args", "kwargs", "message"),
    [
        (("a", "b", "c"), {}, "parse() takes 2 positional arguments but 3 were given"),
        (("a", "b", "c", "d"), {}, "parse() takes 2 positional arguments but 4 were given"),
        (("a",), {}, "parse() missing 1 required positional argument: 'namespace'"),
        ((), {"namespace": "n"}, "parse() missing 1 required positional argument: 'content'"),
        ((), {}, "parse() missing 2 required positional arguments: 'content' and 'namespace'"),
        (("a",), {"content": "b"}, "parse() got multiple values for argument 'content'"),
        (("a", "b"), {"extra": "c"}, "parse() got an unexpected keyword argument 'extra'"),
        # An unknown keyword is reported before a missing argument.
        ((), {"Content": "c"}, "parse() got an unexpected keyword argument 'Content'"),
        (("a", None), {}, "argument 'namespace': 'NoneType' object cannot be converted to 'PyString'"),
        # The first parameter is converted first.
        ((1, 2), {}, "argument 'content': 'int' object cannot be converted to 'PyString'"),
        (("a",), {"namespace": b"n"}, "argument 'namespace': 'bytes' object cannot be converted to 'PyString'"),
    ],
)
def test_parse_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        py_vok.parse(*args, **kwargs)
    assert str(raised.value) == message


@pytest.mark.parametrize(
    ("function", "message"),
    [
        (py_vok.parse_file, "parse_file() missing 1 required positional argument: 'path'"),
        (py_vok.parse_file_with_namespace,
         "parse_file_with_namespace() missing 1 required positional argument: 'namespace'"),
    ],
)
def test_file_functions_name_their_own_parameters(function, message):
    with pytest.raises(TypeError) as raised:
        function("x")
    assert str(raised.value) == message
    with pytest.raises(TypeError, match=r"^argument '(base|path)': 'list' object"):
        function([], [])


def test_type_name_that_cannot_be_read():
    class HidesItsName(type):
        def __getattribute__(cls, name):
            if name == "__qualname__":
                raise AttributeError(name)
            return super().__getattribute__(name)

    class Odd(metaclass=HidesItsName):
        pass

    with pytest.raises(TypeError) as raised:
        py_vok.parse(Odd(), "n")
    assert str(raised.value) == (
        "argument 'content': '<failed to extract type name>' object cannot be converted to 'PyString'"
    )


def test_keywords_and_positions_bind_alike():
    by_position = py_vok.parse("data A {};", "a::b")
    by_keyword = py_vok.parse(namespace="a::b", content="data A {};")
    assert repr(by_keyword) == repr(by_position)


def test_str_subclass_is_accepted():
    class Text(str):
        pass

    assert py_vok.parse(Text(""), Text("x")).namespace.components == ["x"]


@pytest.mark.parametrize("args", [("\udc80", "n"), ("", "a\ud800")])
def test_lone_surrogate_raises_the_interpreters_encode_error(args):
    with pytest.raises(UnicodeEncodeError) as raised:
        py_vok.parse(*args)
    assert raised.value.encoding == "utf-8"
    assert raised.value.reason == "surrogates not allowed"


def test_empty_content():
    module = py_vok.parse("", "a::b")
    assert module.namespace.components == ["a", "b"]
    assert (module.imports, module.data_types, module.enums, module.services) == ([], [], [], [])

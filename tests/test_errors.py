import subprocess
import sys
import textwrap

import pytest

import py_vok

SYNTAX_ERROR = (
    "Other( --> 1:1\n"
    "  |\n"
    "1 | foo\n"
    "  | ^---\n"
    "  |\n"
    "  = expected EOI, COMMENT, import, data, service, or enum_)"
)

DEPRECATION_WARNING = (
    "\x1b[0m\x1b[33m"
    "Using 'handlers' is deprecated and will be removed in future versions. Use 'fn' instead.\n"
    "\x1b[0m"
)


@pytest.mark.parametrize(
    ("content", "message"),
    [
        ("foo", SYNTAX_ERROR),
        (
            "enum E { A = 9223372036854775808, };",
            'Invalid enum value. number too large to fit in target type '
            '(Span { str: "A = 9223372036854775808,", start: 9, end: 33 })',
        ),
    ],
)
def test_parse_error_is_a_plain_exception(content, message):
    with pytest.raises(Exception) as raised:
        py_vok.parse(content, "secret::namespace")
    assert type(raised.value) is Exception
    assert raised.value.args == (message,)
    assert str(raised.value) == message


@pytest.mark.parametrize(
    ("content", "message", "position"),
    [
        ("data X {}; data X {};", "Duplicate datatype X!", "557:17"),
        ("enum E { A, }; enum E { B, };", "Duplicate enum E!", "568:17"),
        ("service S {}; service S {};", "Duplicate service S!", "580:17"),
        ("service S { fn f(); fn f(); };", "Duplicate function f!", "515:17"),
        ("service S { event e(); event e(); };", "Duplicate event e!", "528:17"),
    ],
)
def test_duplicate_aborts_the_call(capfd, panic_exception, content, message, position):
    with pytest.raises(panic_exception) as raised:
        try:
            py_vok.parse(content, "n")
        except Exception:
            pytest.fail("an abort must not be caught by `except Exception`")
    assert raised.value.args == (message,)
    report = capfd.readouterr().err
    assert report.startswith(
        f"thread '<unnamed>' panicked at crates/vok/src/parser:{position}:\n{message}\n"
    )


def test_panic_exception_type(panic_exception):
    assert panic_exception.__name__ == "PanicException"
    assert panic_exception.__module__ == "pyo3_runtime"
    assert panic_exception.__mro__ == (panic_exception, BaseException, object)
    assert "BaseException" in panic_exception.__doc__
    with pytest.raises(BaseException) as raised:
        py_vok.parse("enum E { A, }; enum E { A, };", "n")
    # Made once and kept.
    assert type(raised.value) is panic_exception


def test_backtrace_hint_follows_only_the_first_abort():
    code = textwrap.dedent(
        """
        import os, py_vok
        for _ in range(2):
            try:
                py_vok.parse("data X {}; data X {};", "n")
            except BaseException:
                os.write(2, b"--\\n")
        """
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    first, second, rest = result.stderr.split("--\n")
    head = "thread '<unnamed>' panicked at crates/vok/src/parser:557:17:\nDuplicate datatype X!\n"
    assert first.startswith(head) and first.count("\n") == 3
    assert second == head
    assert rest == ""


def test_handles_writes_the_deprecation_warning(capfd):
    module = py_vok.parse("service S { handles go(); fn run(); };", "n")
    assert capfd.readouterr().err == DEPRECATION_WARNING
    functions = module.services[0][1].functions
    assert [name for name, _ in functions] == ["go", "run"]
    assert repr(functions[0][1]) == repr(functions[1][1])


def test_handles_and_fn_share_one_name_space(capfd, panic_exception):
    with pytest.raises(panic_exception, match="^Duplicate function f!$"):
        py_vok.parse("service S { fn f(); handles f(); };", "n")
    assert capfd.readouterr().err.startswith(DEPRECATION_WARNING + "thread '<unnamed>' panicked")

import pytest

import py_vok

MARKER = "data Marker {};"

# A leading "/" in these rows stands for the test's own directory, so that
# absolute paths can be tried without touching the real root; ROOT in the
# expected pieces stands for that directory's components.
ROOT = object()

NAMESPACES = [
    ("/d", "/d/a/b.svc", ["a", "b"]),
    ("/d/", "/d//a/./b.svc", ["a", "b"]),
    ("x", "/d/c.svc", ["/", ROOT, "d", "c"]),
    ("", "a.b.svc", ["a.b"]),
    ("", "/a.svc", ["/", ROOT, "a"]),
    ("", "./a.svc", [".", "a"]),
    (".", "./a.svc", ["a"]),
    ("/", "/a.svc", ["a"]),
    ("/", "//a.svc", ["a"]),
    ("a/b.svc", "a/b.svc", []),
    ("a/b.svc", "./a/b.svc", [".", "a", "b"]),
    ("/d/a", "/d", ["/", ROOT, "d"]),
    ("/D", "/d/x.svc", ["/", ROOT, "d", "x"]),
    ("/de", "/defs/x.svc", ["/", ROOT, "defs", "x"]),
    ("./defs", "defs/x.svc", ["defs", "x"]),
    ("defs", "./defs/x.svc", [".", "defs", "x"]),
    ("defs", "defs/x.svc", ["x"]),
    ("z", "a/.hidden", ["a", ".hidden"]),
    ("z", "a/b.tar.gz", ["a", "b.tar"]),
    ("z", "a/b.", ["a", "b"]),
    ("z", "a/../b.svc", ["a", "..", "b"]),
    ("z", "a/..b", ["a"]),
    ("z", "..b", ["."]),
    ("z", "a/é.svc", ["a", "é"]),
]


def inside(directory, text):
    return f"{directory}{text}" if text.startswith("/") else text


@pytest.mark.parametrize(("base", "path", "expected"), NAMESPACES)
def test_parse_file_namespace(tmp_path, monkeypatch, base, path, expected):
    monkeypatch.chdir(tmp_path)
    real_path = inside(tmp_path, path)
    (tmp_path / real_path).parent.mkdir(parents=True, exist_ok=True)
    (tmp_path / real_path).write_text(MARKER)
    module = py_vok.parse_file(inside(tmp_path, base), real_path)
    components = []
    for piece in expected:
        components.extend(tmp_path.parts[1:] if piece is ROOT else [piece])
    assert module.namespace.components == components
    assert [name for name, _ in module.data_types] == ["Marker"]


def test_root_base_drops_only_the_root(tmp_path):
    (tmp_path / "a.svc").write_text(MARKER)
    module = py_vok.parse_file("/", f"{tmp_path}/a.svc")
    assert module.namespace.components == [*tmp_path.parts[1:], "a"]


def test_relative_path_is_read_from_the_current_directory(tmp_path, monkeypatch):
    # `base` only shortens the namespace: it is never joined with `path`.
    (tmp_path / "defs").mkdir()
    (tmp_path / "defs" / "x.svc").write_text(MARKER)
    (tmp_path / "defs" / "defs").mkdir()
    (tmp_path / "defs" / "defs" / "x.svc").write_text("data Wrong {};")
    monkeypatch.chdir(tmp_path)
    module = py_vok.parse_file("defs", "defs/x.svc")
    assert [name for name, _ in module.data_types] == ["Marker"]


@pytest.mark.parametrize(
    ("path", "message"),
    [
        ("missing.svc", "Other(No such file or directory (os error 2))"),
        ("", "Other(No such file or directory (os error 2))"),
        ("a/b.svc/", "Other(Not a directory (os error 20))"),
        ("a/..", "Other(Is a directory (os error 21))"),
        (".", "Other(Is a directory (os error 21))"),
        ("a/b.svc\0x", "Other(file name contained an unexpected NUL byte)"),
        ("latin1.svc", "Other(stream did not contain valid UTF-8)"),
    ],
)
@pytest.mark.parametrize(
    "call",
    [
        lambda path: py_vok.parse_file("z", path),
        lambda path: py_vok.parse_file_with_namespace(path, "z"),
    ],
    ids=["parse_file", "parse_file_with_namespace"],
)
def test_reading_failures(tmp_path, monkeypatch, call, path, message):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "a").mkdir()
    (tmp_path / "a" / "b.svc").write_text(MARKER)
    (tmp_path / "latin1.svc").write_bytes(b"data Caf\xe9 {};")
    with pytest.raises(Exception) as raised:
        call(path)
    assert type(raised.value) is Exception
    assert raised.value.args == (message,)


def test_parse_file_with_namespace(tmp_path):
    path = tmp_path / "shapes.svc"
    path.write_text("import base;\n" + MARKER)
    module = py_vok.parse_file_with_namespace(str(path), "a::::b")
    assert module.namespace.components == ["a", "", "b"]
    assert [imp.path.components for imp in module.imports] == [["base"]]
    assert [name for name, _ in module.data_types] == ["Marker"]


def test_syntax_error_in_file_counts_from_the_file_start(tmp_path):
    path = tmp_path / "broken.svc"
    path.write_text(MARKER + "\nfoo")
    with pytest.raises(Exception) as raised:
        py_vok.parse_file_with_namespace(str(path), "n")
    assert raised.value.args[0].startswith("Other( --> 2:1\n")

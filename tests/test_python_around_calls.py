"""Python code that runs beside the module's calls: collector callbacks and
finalizers, the hooks that print an error, patched classes, daemon threads at
exit. Each case runs in a child interpreter, since what it guards against
ends the process."""

import concurrent.futures
import ctypes
import os
import re
import shutil
import subprocess
import sys
import sysconfig

import pytest

import py_vok
from conftest import HERE, run_child

# Touches every item of every list that the collector tracks: an empty slot
# ends the process.
TOUCH_EVERY_LIST = """
import gc

def touch_every_list():
    for tracked in gc.get_objects():
        if type(tracked) is list:
            for item in tracked:
                pass
"""

# A callback of every collection that touches every list, with a collection
# at nearly every allocation. On CPython 3.11 a collection runs inside the
# allocation itself, so it comes while a list is being filled; the first
# reads also build the classes of what they return (DataType, TypeName,
# Service, Function) inside the read.
COLLECTION_DURING_READS = TOUCH_EVERY_LIST + """
import py_vok

N = 100
text = "".join(f"data D{i} {{ a: u8, b: list of u8, }};" for i in range(N))
text += "service S {" + "".join(f" fn f{i}();" for i in range(N)) + " };"
module = py_vok.parse(text, "n")

collections = 0
def on_collection(phase, info):
    global collections
    collections += 1
    touch_every_list()

gc.callbacks.append(on_collection)
gc.set_threshold(1)
# Each result is kept, so that no list or tuple comes from a free list.
data_types = [module.data_types for _ in range(2)]
properties = [data_types[0][0][1].properties for _ in range(2)]
functions = [module.services[0][1].functions for _ in range(2)]
gc.callbacks.remove(on_collection)
gc.set_threshold(700)
print(collections > 0, len(data_types[1]), len(properties[1]), len(functions[1]),
      all(gc.is_tracked(read) for read in data_types + properties + functions))
"""


def test_collections_never_see_a_list_being_filled():
    child = run_child(COLLECTION_DURING_READS)
    assert child.returncode == 0, child.stderr
    assert child.stdout == "True 100 2 100 True\n"


# The second comment's str cannot be made, so the read aborts; the error is
# printed first, through sys.excepthook, while the list of comments exists.
HOOK_DURING_ABORT = TOUCH_EVERY_LIST + """
import sys
import _testcapi
import py_vok

module = py_vok.parse("enum E {\\n/// c1\\n/// c2\\nA = 1,\\n};", "n")
value = module.enums[0][1].values[0][1]

hooked = []
def on_print(kind, error, traceback):
    hooked.append(kind.__name__)
    touch_every_list()

sys.excepthook = on_print
_testcapi.set_nomemory(2, 3)  # fails one allocation: the second str
try:
    value.comments
except BaseException as raised:
    outcome = raised
finally:
    _testcapi.remove_mem_hooks()
print(type(outcome).__name__, outcome.args, hooked)
"""


def test_error_hooks_never_see_a_list_being_filled():
    child = run_child(HOOK_DURING_ABORT)
    assert child.returncode == 0, child.stderr
    assert child.stdout == "PanicException ('Python API call failed',) ['MemoryError']\n"


DUPLICATE_ABORT = """
import py_vok

def abort():
    try:
        py_vok.parse("data A {}; data A {};", "n")
    except BaseException as raised:
        return raised
"""

PATCHED_ABORT_NEW = DUPLICATE_ABORT + """
import sys
result = eval(sys.argv[1])
type(abort()).__new__ = lambda cls, *args: result
raised = abort()
print(type(raised).__name__, raised)
"""

NOT_AN_INSTANCE = ("TypeError calling <class 'pyo3_runtime.PanicException'> should have returned "
                   "an instance of BaseException, not ")


@pytest.mark.parametrize("returned, expected", [
    ("42", NOT_AN_INSTANCE + "int"),
    ("None", NOT_AN_INSTANCE + "NoneType"),
    ("KeyError", NOT_AN_INSTANCE + "type"),
    # Any exception instance is raised as it comes.
    ("KeyError('k')", "KeyError 'k'"),
], ids=["int", "None", "a class", "another exception"])
def test_abort_class_new_must_return_an_exception(returned, expected):
    child = run_child(PATCHED_ABORT_NEW, returned)
    assert child.returncode == 0, child.stderr
    assert child.stdout == expected + "\n"


# The first abort of the process makes the abort class. On CPython 3.11 that
# runs a collection, whose callback aborts a call of its own first.
NESTED_FIRST_ABORT = DUPLICATE_ABORT + """
import gc

inside = []
def abort_once(phase, info):
    if phase == "start" and not inside:
        inside.append(type(abort()))

gc.callbacks.append(abort_once)
gc.set_threshold(1)
outer = type(abort())
gc.callbacks.remove(abort_once)
gc.set_threshold(700)
later = type(abort())
print(len(inside), inside[0] is outer, outer is later)
"""


def test_one_abort_class_when_the_first_aborts_nest():
    child = run_child(NESTED_FIRST_ABORT)
    assert child.returncode == 0, child.stderr
    assert child.stdout == "1 True True\n"


# A daemon thread stalls in Python code that runs inside a call while the
# main thread exits. When it asks for the interpreter lock back, CPython ends
# it with a forced unwind of its stack, which must pass through the module.
# Keeps `finalizer` until the interpreter is finalizing, so that its __del__
# runs then, while a daemon thread wants the lock back. A module of its own
# holds it: that goes when exit empties sys.modules, while the thread's
# frames keep __main__ alive.
KEEP_UNTIL_EXIT = """
import sys, types

def keep_until_exit(finalizer):
    keeper = types.ModuleType("keeper")
    keeper.finalizer = finalizer
    sys.modules["keeper"] = keeper
"""

DAEMON_AT_EXIT = DUPLICATE_ABORT + KEEP_UNTIL_EXIT + """
import gc, threading, time

started = threading.Event()
def stall(*args):
    started.set()
    while True:
        time.sleep(0.001)

class SlowExit:
    # Bound now: at exit, module globals go before this object does.
    def __del__(self, sleep=time.sleep):
        sleep(0.5)

keep_until_exit(SlowExit())

route = sys.argv[1]
if route == "argument type name":
    class Meta(type):
        def __getattribute__(cls, name):
            if name == "__qualname__":  # asked for by the TypeError text
                stall()
            return type.__getattribute__(cls, name)
    class Arg(metaclass=Meta):
        pass
    call = lambda: py_vok.parse(Arg(), "n")
elif route == "abort class __init__":
    type(abort()).__init__ = stall
    call = abort
elif route == "finalizer of a refused __new__ result":
    class Refused:
        def __del__(self):
            stall()
    type(abort()).__new__ = lambda cls, *args: Refused()
    call = abort
elif route == "collection inside a read":
    module = py_vok.parse("data D { f: u8, };", "n")
    def stall_once(phase, info):
        gc.callbacks.remove(stall_once)
        stall()
    def call():
        gc.callbacks.append(stall_once)
        gc.set_threshold(1)
        module.data_types
threading.Thread(target=call, daemon=True).start()
started.wait()
"""

OWN_REPORT_LINE = re.compile(r"thread '<unnamed>' panicked at .*|Duplicate datatype A!|note: .*")

# AddressSanitizer cannot follow an unwind that starts in the uninstrumented
# interpreter: the frames it pops keep their poisoned red zones, and on this
# route the runtime's own check then fails at the first landing pad
# ("CHECK failed: asan_thread.cpp ... kCurrentStackFrameMagic"). The C++
# guard test unwinds through the guard under the sanitizers instead.
with open("/proc/self/maps") as maps:
    SANITIZED = "libasan" in maps.read()


@pytest.mark.parametrize("route", [
    pytest.param("argument type name", marks=pytest.mark.skipif(
        SANITIZED, reason="AddressSanitizer's runtime cannot follow this unwind")),
    "abort class __init__",
    "finalizer of a refused __new__ result",
    "collection inside a read",  # inside the module's frames on CPython 3.11
])
def test_daemon_thread_inside_a_call_at_exit(route):
    # Whether exit catches the thread inside the call is a race, which the
    # slow exit makes nearly certain; a few runs make it certain enough.
    with concurrent.futures.ThreadPoolExecutor(3) as pool:
        children = list(pool.map(lambda _: run_child(DAEMON_AT_EXIT, route), range(3)))
    for child in children:
        assert child.returncode == 0, child.stderr
        # Only the module's own abort reports: nothing from the C++ runtime.
        assert [line for line in child.stderr.splitlines()
                if not OWN_REPORT_LINE.fullmatch(line)] == [], child.stderr


# A read of `data_types` that makes N items, each holding its class, so that
# a collection callback can tell when the read is half-way through.
LONG_READ = """
import sys
import py_vok

N = 3000
module = py_vok.parse("".join(f"data D{i} {{ a: u8, }};" for i in range(N)), "n")
DataType = type(module.data_types[0][1])
before_the_read = sys.getrefcount(DataType)

def half_way_through_the_read():
    return sys.getrefcount(DataType) > before_the_read + N // 2
"""


# On CPython 3.11, once any sub-interpreter has existed, the interpreter's own
# test of whether a thread holds the lock says yes on every thread. A daemon
# thread that exit ends half-way through filling a list must still leave its
# items alone: the main thread, finalizing meanwhile, owns every count.
READ_AT_EXIT_AFTER_A_SUB_INTERPRETER = KEEP_UNTIL_EXIT + LONG_READ + """
import _testcapi, gc, threading, time

_testcapi.run_in_subinterp("pass")

inside = threading.Event()
finished = []

def stall_half_way(phase, info):
    if (threading.current_thread() is reader and not inside.is_set()
            and half_way_through_the_read()):
        inside.set()
        time.sleep(0.5)  # exit begins meanwhile

def read():
    gc.callbacks.append(stall_half_way)
    gc.set_threshold(1)
    module.data_types
    finished.append(True)

class Busy:
    # Runs Python code on the main thread while the reader is ended.
    def __del__(self, refs=sys.getrefcount, now=time.monotonic, write=sys.stdout.write,
                DataType=DataType, finished=finished):
        before, end = refs(DataType), now() + 1.5
        while now() < end:
            [(i, str(i)) for i in range(200)]
        write(f"{refs(DataType) - before} {len(finished)}\\n")

keep_until_exit(Busy())
reader = threading.Thread(target=read, daemon=True)
reader.start()
inside.wait()
"""


@pytest.mark.skipif(sys.version_info >= (3, 12),
                    reason="only CPython 3.11 runs a collection inside the read")
def test_daemon_read_at_exit_after_a_sub_interpreter_drops_no_reference():
    child = run_child(READ_AT_EXIT_AFTER_A_SUB_INTERPRETER)
    assert child.returncode == 0, child.stderr
    # No count changed, and the read never finished: exit ended it inside.
    assert child.stdout == "0 0\n"


# Calls a Python function in a second thread state of the calling thread, as
# an application may give a task a state of its own.
SECOND_THREAD_STATE = r"""
#include <Python.h>

int call_in_second_state(PyObject *function, int times) {
    PyThreadState *first = PyThreadState_Get();
    PyThreadState *second = PyThreadState_New(PyThreadState_GetInterpreter(first));
    if (second == NULL) return -1;
    PyThreadState_Swap(second);
    int failed = 0;
    for (int i = 0; i < times; ++i) {
        PyObject *result = PyObject_CallNoArgs(function);
        if (result == NULL) {
            PyErr_Clear();
            failed = 1;
        }
        Py_XDECREF(result);
    }
    PyThreadState_Swap(first);
    PyThreadState_Clear(second);
    PyThreadState_Delete(second);
    return failed ? -1 : 0;
}
"""


def compile_c(source, output, *flags):
    """Builds `source` against this interpreter's headers; skips the test
    where there is no C compiler."""
    compiler = shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        pytest.skip("no C compiler")
    subprocess.run([compiler, "-I" + sysconfig.get_paths()["include"], str(source), "-o",
                    str(output), *flags], check=True)
    return output


@pytest.fixture(scope="module")
def call_in_second_state(tmp_path_factory):
    folder = tmp_path_factory.mktemp("second_state")
    source = folder / "second_state.c"
    source.write_text(SECOND_THREAD_STATE)
    library = compile_c(source, folder / "second_state.so", "-shared", "-fPIC")
    function = ctypes.PyDLL(str(library)).call_in_second_state
    function.argtypes = [ctypes.py_object, ctypes.c_int]
    return function


def test_a_second_thread_state_releases_what_failed_calls_made(call_in_second_state):
    class Arg:  # a qualified name with "<locals>" in it is not interned
        pass
    qualname = Arg.__qualname__

    def fail():
        # The TypeError's text takes the argument type's __qualname__.
        with pytest.raises(TypeError, match="Arg' object cannot be converted"):
            py_vok.parse(Arg(), "n")

    before = sys.getrefcount(qualname)
    assert call_in_second_state(fail, 1000) == 0
    assert sys.getrefcount(qualname) == before


# Run by tests/reader_ended_at_exit.c, an application that finalizes its
# interpreter while a thread of its own is half-way through filling the list
# of `data_types` (on CPython 3.11 a collection runs inside the read), so
# that exit ends that thread inside the module. On the "worker" and "main"
# routes the finalizing thread runs with a state that was made on the ended
# one; on "restart" a new interpreter runs while the ended thread unwinds.
# Nothing the ended thread holds may change its count then.
READ_ENDED_BY_AN_EMBEDDER = KEEP_UNTIL_EXIT + LONG_READ + """
import _thread, gc
import embedder


def stall_half_way(phase, info):
    if _thread.get_ident() == reader and half_way_through_the_read():
        gc.callbacks.remove(stall_half_way)
        gc.set_threshold(700)
        embedder.stall()

def read():
    global reader
    reader = _thread.get_ident()
    gc.callbacks.append(stall_half_way)
    gc.set_threshold(1)
    module.data_types

class WakeTheReader:
    def __del__(self, wake=embedder.wake_reader):
        wake()

keep_until_exit(WakeTheReader())
"""


@pytest.fixture(scope="module")
def reader_ended_at_exit(tmp_path_factory):
    if not sysconfig.get_config_var("Py_ENABLE_SHARED"):
        pytest.skip("this interpreter has no shared library to embed")
    libdir = sysconfig.get_config_var("LIBDIR")
    return compile_c(os.path.join(HERE, "reader_ended_at_exit.c"),
                     tmp_path_factory.mktemp("embedder") / "reader_ended_at_exit",
                     "-fexceptions", "-pthread", "-L" + libdir, "-Wl,-rpath," + libdir,
                     "-l:" + sysconfig.get_config_var("LDLIBRARY"))


@pytest.mark.skipif(sys.version_info >= (3, 12),
                    reason="only CPython 3.11 runs a collection inside the read")
@pytest.mark.parametrize("route", ["worker", "main", "restart"])
def test_embedder_ends_a_reader_that_drops_no_reference(reader_ended_at_exit, route):
    # The embedded interpreter finds the installed module where this one does.
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path for path in sys.path if path))
    child = subprocess.run([str(reader_ended_at_exit), route, READ_ENDED_BY_AN_EMBEDDER],
                           env=env, capture_output=True, text=True, timeout=60)
    assert child.returncode == 0, child.stderr
    assert child.stdout == "count change 0, read returned 0\n"

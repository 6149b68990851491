"""Python code that runs beside the module's calls: collector callbacks and
finalizers, the hooks that print an error, patched classes, daemon threads at
exit. Each case runs in a child interpreter, since what it guards against
ends the process."""

import concurrent.futures
import re

import pytest

from conftest import run_child

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
DAEMON_AT_EXIT = DUPLICATE_ABORT + """
import gc, sys, threading, time, types

started = threading.Event()
def stall(*args):
    started.set()
    while True:
        time.sleep(0.001)

class SlowExit:
    # Bound now: at exit, module globals go before this object does.
    def __del__(self, sleep=time.sleep):
        sleep(0.5)

# Keeps the interpreter finalizing for a while, so that the thread wants the
# lock back meanwhile. A module of its own holds it: that goes when exit
# empties sys.modules, while the thread's frames keep __main__ alive.
keeper = types.ModuleType("keeper")
keeper.slow = SlowExit()
sys.modules["keeper"] = keeper
del keeper

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

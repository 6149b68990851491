"""Times py_vok from Python on one definition text.

    python bench/python_bench.py TEXT [--repeat N]

Two figures, each the median of N runs: `parse()` of the whole text (the
result dropped, as a caller that is done with it would), and a walk that
reads every attribute of the result down to the leaves once, as a code
generator does. Run it with two installs of the module one after the other
on the same text to compare them; build/release/bench/vok_definition_text
writes the benchmarks' realistic text of a chosen size.
"""

import argparse
import statistics
import sys
import time

import py_vok


# The walk reads each attribute by name, the way generated code would, and
# counts the reads so that a run shows it reached everything.


def namespace(ns):
    ns.components
    return 1


def attributes(items):
    reads = 0
    for attribute in items:
        reads += 2 + namespace(attribute.name)
        for parameter in attribute.parameters:
            parameter.name, parameter.value
            reads += 2
    return reads


def type_name(typ):
    typ.is_list, typ.count, typ.comments
    return 5 + namespace(typ.typ) + attributes(typ.attributes)


def arguments(items):
    reads = 0
    for _, typ in items:
        reads += type_name(typ)
    return reads


def walk(module):
    """Reads every attribute under `module` once; returns how many it read."""
    reads = 5 + namespace(module.namespace)
    for item in module.imports:
        reads += 2 + namespace(item.path) + attributes(item.attributes)
    for _, data in module.data_types:
        reads += 2 + arguments(data.properties) + attributes(data.attributes)
    for _, enum in module.enums:
        reads += 2 + attributes(enum.attributes)
        for _, value in enum.values:
            value.value, value.comments
            reads += 3 + attributes(value.attributes)
    for _, service in module.services:
        reads += 4 + attributes(service.attributes)
        for dependency in service.dependencies:
            dependency.comments
            reads += 3 + namespace(dependency.name) + attributes(dependency.attributes)
        for _, function in service.functions:
            function.comments
            returned = function.return_type
            reads += 4 + arguments(function.arguments) + attributes(function.attributes)
            if returned is not None:
                reads += type_name(returned)
        for _, event in service.events:
            event.comments
            reads += 3 + arguments(event.arguments) + attributes(event.attributes)
    return reads


def median_seconds(action, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("text", help="a definition file")
    parser.add_argument("--repeat", type=int, default=21)
    args = parser.parse_args()
    with open(args.text, encoding="utf-8") as file:
        text = file.read()

    module = py_vok.parse(text, "bench")
    reads = walk(module)
    parse = median_seconds(lambda: py_vok.parse(text, "bench"), args.repeat)
    read_all = median_seconds(lambda: walk(module), args.repeat)
    size = len(text.encode())
    print(f"module   {py_vok.__file__}")
    print(f"text     {size} bytes, {reads} attribute reads per walk")
    print(f"parse    {parse * 1e3:8.2f} ms  {size / parse / 1e6:7.1f} MB/s")
    print(f"walk     {read_all * 1e3:8.2f} ms  {reads / read_all / 1e6:7.2f} M reads/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())

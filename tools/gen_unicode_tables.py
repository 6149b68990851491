#!/usr/bin/env python3
"""Writes crates/vok-data/src/unicode_tables.cpp from the Unicode data files.

The debug text and the parser need four character properties of one fixed
Unicode version (15.0.0): printability (from General_Category),
Grapheme_Extend, White_Space and the decimal digits (Nd). The tables are
generated once and committed, so building needs none of the data files.

    python3 tools/gen_unicode_tables.py [--data-dir DIR] [--output FILE]

DIR defaults to /usr/share/unicode (Debian's unicode-data package). The script
refuses data files of any other Unicode version, because a table quietly built
from newer data would change which characters the debug text escapes.
Standard library only.
"""

import argparse
import os
import re
import sys

UNICODE_VERSION = "15.0.0"
MAX_CODE_POINT = 0x10FFFF

# General categories whose characters are escaped in the debug text. Cn is
# every code point without an entry in UnicodeData.txt.
NON_PRINTABLE_CATEGORIES = {"Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp", "Zs"}

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(REPO_ROOT, "crates", "vok-data", "src", "unicode_tables.cpp")


def fail(message):
    sys.exit("gen_unicode_tables.py: " + message)


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().splitlines()
    except OSError as e:
        fail("cannot read %s: %s" % (path, e.strerror))


def check_version(data_dir):
    """Every file used must say it is of UNICODE_VERSION.

    UnicodeData.txt has no header, so ReadMe.txt of the same directory vouches
    for it; the two property files name their version in their first line.
    """
    readme = "\n".join(read_lines(os.path.join(data_dir, "ReadMe.txt")))
    found = re.search(r"for Version (\d+\.\d+\.\d+) of the Unicode Standard", readme)
    if not found:
        fail("ReadMe.txt in %s does not name a Unicode version" % data_dir)
    if found.group(1) != UNICODE_VERSION:
        fail("data files are Unicode %s, need %s" % (found.group(1), UNICODE_VERSION))
    for name in ("DerivedCoreProperties", "PropList"):
        first = read_lines(os.path.join(data_dir, name + ".txt"))[:1]
        expected = "# %s-%s.txt" % (name, UNICODE_VERSION)
        if first != [expected]:
            fail("%s.txt starts with %r, expected %r" % (name, first[0] if first else "", expected))


def general_categories(data_dir):
    """Returns a list of MAX_CODE_POINT + 1 category names."""
    categories = ["Cn"] * (MAX_CODE_POINT + 1)
    range_start = None
    for line in read_lines(os.path.join(data_dir, "UnicodeData.txt")):
        if not line:
            continue
        fields = line.split(";")
        code, name, category = int(fields[0], 16), fields[1], fields[2]
        # Large blocks are listed as a "<..., First>" / "<..., Last>" pair.
        if name.endswith(", First>"):
            range_start = code
            continue
        if name.endswith(", Last>"):
            if range_start is None:
                fail("UnicodeData.txt: %s without its First line" % name)
            for c in range(range_start, code + 1):
                categories[c] = category
            range_start = None
            continue
        categories[code] = category
    if range_start is not None:
        fail("UnicodeData.txt: a First line without its Last line")
    return categories


def property_code_points(data_dir, file_name, property_name):
    """The code points that the property file lists for `property_name`."""
    points = set()
    for line in read_lines(os.path.join(data_dir, file_name)):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        code_field, name = (part.strip() for part in line.split(";")[:2])
        if name != property_name:
            continue
        first, _, last = code_field.partition("..")
        points.update(range(int(first, 16), int(last or first, 16) + 1))
    if not points:
        fail("%s lists no code point for %s" % (file_name, property_name))
    return points


def merged_ranges(points):
    """Sorted (first, last) pairs covering `points`, adjacent ranges merged."""
    ranges = []
    for c in sorted(points):
        if ranges and ranges[-1][1] + 1 == c:
            ranges[-1][1] = c
        else:
            ranges.append([c, c])
    return ranges


def format_table(name, comment, ranges):
    count = sum(last - first + 1 for first, last in ranges)
    lines = ["// %s." % comment,
             "// %d code points in %d ranges." % (count, len(ranges)),
             "constexpr CodePointRange k_%s[] = {" % name]
    per_line = 4
    for i in range(0, len(ranges), per_line):
        chunk = ranges[i:i + per_line]
        lines.append("    " + " ".join("{0x%04X, 0x%04X}," % (a, b) for a, b in chunk))
    lines.append("};")
    return "\n".join(lines), count, len(ranges)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--data-dir", default="/usr/share/unicode")
    parser.add_argument("--output", default=DEFAULT_OUTPUT)
    args = parser.parse_args()

    check_version(args.data_dir)
    categories = general_categories(args.data_dir)
    non_printable = {c for c, category in enumerate(categories)
                     if category in NON_PRINTABLE_CATEGORIES}
    non_printable.discard(0x20)  # Zs, but the debug text writes spaces as they are
    tables = [
        ("non_printable",
         "General_Category Cc, Cf, Cs, Co, Cn, Zl, Zp or Zs, except U+0020",
         non_printable),
        ("grapheme_extend", "Grapheme_Extend",
         property_code_points(args.data_dir, "DerivedCoreProperties.txt", "Grapheme_Extend")),
        ("white_space", "White_Space",
         property_code_points(args.data_dir, "PropList.txt", "White_Space")),
        ("decimal_digit", "General_Category Nd",
         {c for c, category in enumerate(categories) if category == "Nd"}),
    ]

    out = [
        "// Generated by `python3 tools/gen_unicode_tables.py` from the Unicode %s"
        % UNICODE_VERSION,
        "// data files (UnicodeData.txt, DerivedCoreProperties.txt, PropList.txt).",
        "// Do not edit; run the script again instead.",
        "",
        '#include "unicode_tables.hpp"',
        "",
        "namespace vok::unicode::tables {",
        "",
        "namespace {",
        "",
    ]
    for name, comment, points in tables:
        text, count, range_count = format_table(name, comment, merged_ranges(points))
        out += [text, ""]
        print("%s: %d code points, %d ranges" % (name, count, range_count), file=sys.stderr)
    out += ["}  // namespace", ""]
    out += ["const std::span<const CodePointRange> %s{k_%s};" % (name, name)
            for name, _, _ in tables]
    out += ["", "}  // namespace vok::unicode::tables", ""]

    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out))
    print("wrote " + args.output, file=sys.stderr)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes a signatures module (_signatures.py for varnis.h, _xsignatures.py for
varnisx.h): the argument and result types, the argument names and the documentation of
every export, from the listing of a header's exports that the build makes
(varnis/list_exports.py). The build runs it into the build tree's copy of the package.

usage: generate_signatures.py LISTING OUTPUT [HEADER]
HEADER names the header in the module's docstring (varnis.h by default)."""
import re
import sys
from pathlib import Path

ESCAPES = {"n": "\n", "t": "\t", "\\": "\\"}


def read_listing(text):
    """{name: (returns, [(type, name), ...], doc)} from the listing's lines."""
    lines = text.splitlines()
    columns = lines[0].split("\t")
    result = {}
    for line in lines[1:]:
        row = dict(zip(columns, line.split("\t")))
        params = [tuple(p.rsplit(" ", 1)) for p in row["parameters"].split(", ") if p]
        doc = re.sub(r"\\(.)", lambda m: ESCAPES[m.group(1)], row["doc"])
        result[row["name"]] = (row["returns"], params, doc)
    return result


def render(exports, header="varnis.h"):
    lines = ['"""Argument and result types, argument names and documentation of the exports',
             f'of {header}, generated from it by generate_signatures.py; do not edit."""', "",
             "# name: (result type, [argument types])", "SIGNATURES = {"]
    for name in sorted(exports):
        restype, params, _ = exports[name]
        lines.append(f"    {name!r}: ({restype!r}, {[t for t, _ in params]!r}),")
    lines += ["}", "", "# name: [argument names], in order", "ARGUMENT_NAMES = {"]
    for name in sorted(exports):
        lines.append(f"    {name!r}: {[n for _, n in exports[name][1]]!r},")
    lines += ["}", "", "# name: the export's documentation in the header", "DOCS = {"]
    for name in sorted(exports):
        lines.append(f"    {name!r}: {exports[name][2]!r},")
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    listing, output = Path(sys.argv[1]), Path(sys.argv[2])
    header = sys.argv[3] if len(sys.argv) > 3 else "varnis.h"
    content = render(read_listing(listing.read_text()), header)
    if not output.exists() or output.read_text() != content:
        output.write_text(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())

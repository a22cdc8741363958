#!/usr/bin/env python3
"""Writes _signatures.py, the argument and result types of every export, from the
library's header. The build runs it into the build tree's copy of the package.

usage: generate_signatures.py HEADER OUTPUT"""
import re
import sys
from pathlib import Path

DECLARATION = re.compile(r"^VARNIS_API\s+([^;]*?)\b(\w+)\s*\(([^)]*)\)\s*;", re.M | re.S)


def normalise_type(text):
    tokens = re.findall(r"\w+|\*|\[\]", text)
    if len(tokens) > 1 and re.fullmatch(r"\w+", tokens[-1]) and tokens[-1] not in ("int", "double", "float", "long", "char", "void"):
        tokens = tokens[:-1]  # the parameter's name
    kind = " ".join(t if t != "[]" else "*" for t in tokens)
    return kind.replace(" *", "*")


def signatures(header_text):
    text = re.sub(r"/\*.*?\*/", "", header_text, flags=re.S)
    result = {}
    for match in DECLARATION.finditer(text):
        restype = normalise_type(match.group(1))
        params = [p.strip() for p in match.group(3).split(",") if p.strip() not in ("", "void")]
        result[match.group(2)] = (restype, [normalise_type(p) for p in params])
    return result


def render(sigs):
    lines = ['"""Argument and result types of the library\'s exports, generated from varnis.h',
             'by generate_signatures.py; do not edit."""', "", "SIGNATURES = {"]
    for name in sorted(sigs):
        restype, args = sigs[name]
        lines.append(f"    {name!r}: ({restype!r}, {args!r}),")
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    header, output = Path(sys.argv[1]), Path(sys.argv[2])
    content = render(signatures(header.read_text()))
    if not output.exists() or output.read_text() != content:
        output.write_text(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Reads varnis.h and writes the listing of its exports: the one reading of the header
that the export check, the thread test, the Python package and the reference check use.

The listing is a tab-separated text file. Its first line names the columns; then one
line per export, in the header's order:
  name        the export's name
  returns     its result type, such as "int" or "float"
  parameters  its parameters as "type name" separated by ", ", the type written with
              the pointer marks against it ("const double* data, double* sigma,
              double tau"); empty for (void)
  doc         its documentation comment without the comment marks; a line break is
              written as \\n, a tab as \\t and a backslash as \\\\

It stops with an error, writing nothing, when a declaration cannot be read or an
export has no documentation comment in front of it.

usage: list_exports.py HEADER OUTPUT [MARKER]
MARKER is the export macro in front of each declaration (VARNIS_API by default; the
companion library's header uses VARNISX_API)."""
import re
import sys
from pathlib import Path

COLUMNS = ("name", "returns", "parameters", "doc")


def declaration_pattern(marker):
    """Declarations "MARKER <type> Name(<parameters>);" from the start of a line, over lines."""
    return re.compile(r"^" + marker + r"\s+([^;(]*?)\b(\w+)\s*\(([^)]*)\)\s*;", re.M)


def marker_pattern(marker):
    """Every use of the marker in front of a declaration (its #define lines start with '#')."""
    return re.compile(r"^" + marker + r"\b", re.M)

BUILTIN_TYPES = {"int", "double", "float", "long", "short", "char", "void", "unsigned", "signed"}


def type_text(tokens):
    """'const double *' tokens as the type text "const double*"."""
    return " ".join("*" if t == "[]" else t for t in tokens).replace(" *", "*")


def parameter(text):
    """("const double*", "data") from "const double *data"."""
    tokens = re.findall(r"\w+|\*|\[\]", text)
    if len(tokens) < 2 or not re.fullmatch(r"\w+", tokens[-1]) or tokens[-1] in BUILTIN_TYPES:
        raise ValueError(f"parameter without a name: {text.strip()!r}")
    return type_text(tokens[:-1]), tokens[-1]


def doc_comment(before):
    """The text of the /** ... */ block that ends right before a declaration."""
    before = before.rstrip()
    if not before.endswith("*/"):
        return None
    start = before.rfind("/**")
    if start < 0 or "*/" in before[start:-2]:
        return None
    lines = before[start + 3:-2].splitlines()
    lines = [re.sub(r"^\s*\*( |$)", "", line).rstrip() for line in lines]
    return "\n".join(lines).strip()


def exports(header_text, marker="VARNIS_API"):
    """[(name, returns, [(type, name), ...], doc)] in the header's order."""
    found = []
    for match in declaration_pattern(marker).finditer(header_text):
        name = match.group(2)
        params = [p for p in match.group(3).split(",") if p.strip() not in ("", "void")]
        doc = doc_comment(header_text[:match.start()])
        if not doc:
            raise ValueError(f"{name} has no documentation comment in front of it")
        found.append((name, type_text(re.findall(r"\w+|\*", match.group(1))),
                      [parameter(p) for p in params], doc))
    if len(found) != len(marker_pattern(marker).findall(header_text)):
        raise ValueError(f"a {marker} declaration is not of the form '{marker} type Name(...);'")
    names = [e[0] for e in found]
    if len(set(names)) != len(names):
        raise ValueError("an export is declared twice")
    return found


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def listing(found):
    lines = ["\t".join(COLUMNS)]
    for name, returns, params, doc in found:
        lines.append("\t".join((name, returns, ", ".join(f"{t} {n}" for t, n in params), escape(doc))))
    return "\n".join(lines) + "\n"


def main():
    header, output = Path(sys.argv[1]), Path(sys.argv[2])
    marker = sys.argv[3] if len(sys.argv) > 3 else "VARNIS_API"
    try:
        content = listing(exports(header.read_text(), marker))
    except ValueError as error:
        print(f"{header}: {error}", file=sys.stderr)
        return 1
    if not output.exists() or output.read_text() != content:
        output.write_text(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())

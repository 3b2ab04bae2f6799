#!/usr/bin/env python3
"""Checks that every export of resources/exports.txt is declared, defined and bound everywhere a host
meets it: the C header, the C++ header, the exports' definitions, each binding and each example loader.
A new export is one row in resources/exports.txt; this names every file that still lacks it."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Where each export must appear, and the pattern that finds it there ({name} is the export's name).
PLACES = {
    "include/ZRPA_RIVEVEDEV17_10.h": r"ZRPA_CALL\s+{name}\s*\(",
    "include/ZRPA_RIVEVEDEV17_10.hpp": r"\b{name}\b",
    "src/interface/Exports.cpp": r"ZRPA_CALL\s+{name}\s*\(",
    "bindings/dotnet/src/NativeMethods.cs": r"\b{name}\b",
    "bindings/delphi/ZRPA_RIVEVEDEV17_10.pas": r"\b{name}\b",
    "bindings/vb6/ZRPA_RIVEVEDEV17_10.bas": r"\b{name}\b",
    "examples/python/zrpa/_library.py": r"\b{name}\b",
    "examples/c/zrpa_loader_posix.c": r'"{name}"',
    "examples/c/zrpa_loader_win.c": r'"{name}"',
}


def main():
    names = [line.split()[0] for line in (ROOT / "resources" / "exports.txt").read_text().splitlines()
             if line[:1].isupper()]
    missing = []
    for place, pattern in PLACES.items():
        text = (ROOT / place).read_text(encoding="utf-8", errors="replace")
        for name in names:
            if not re.search(pattern.format(name=name), text):
                missing.append(f"{place}: no {name}")
    for line in missing:
        print(line, file=sys.stderr)
    sys.stderr.flush()
    print(f"{len(names)} exports checked in {len(PLACES)} files: "
          f"{'all present' if not missing else str(len(missing)) + ' missing'}", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())

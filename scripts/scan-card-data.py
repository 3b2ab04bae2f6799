#!/usr/bin/env python3
"""Searches every file a test run left behind for the card data the tests plant.

The tests make the terminal emulator send full card numbers and track data (the lists in
tests/support/base/PlantedCardData.h); the library must show none of it. This script reads those lists
and searches the files under the given folders (default: build/, where the test programs write their
device logs beside themselves, keep their scratch folders under test-files/, and where the Windows tests
under Wine keep theirs in the prefix's user folders) for:
  - any eight digits in a row of a planted card number (single blanks or dashes between them allowed),
  - the planted track data's name and discretionary data,
each as it stands, in UTF-16 (NUL bytes dropped) and inside hex dumps ("34 39 32 ..."). Programs,
libraries, objects and archives are not read: the test programs carry the planted values themselves.
Links are not followed. Exit status 0 with no finding, 1 with findings, 2 when nothing could be scanned.

Usage: scripts/scan-card-data.py [folder or file ...]
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PLANTED = os.path.join(ROOT, "tests", "support", "base", "PlantedCardData.h")
WINDOW = 8  # eight digits of a card number always include one that a masked number hides
BINARY_MAGIC = (b"\x7fELF", b"MZ", b"!<arch>", b"\x1f\x8b", b"PK\x03\x04", b"\xfd7zXZ", b"BZh")
BINARY_SUFFIXES = (".o", ".obj", ".a", ".lib", ".so", ".dll", ".exe", ".pdb", ".gch", ".pch", ".res")
HEX_DUMP = re.compile(rb"(?<![0-9A-Fa-f])(?:[0-9A-Fa-f]{2} )+[0-9A-Fa-f]{2}(?![0-9A-Fa-f])")


def planted_lists(path):
    """The string literals of the arrays kPlantedPans and kPlantedTrackMarkers of the header."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    lists = {}
    for name in ("kPlantedPans", "kPlantedTrackMarkers"):
        block = re.search(name + r"\s*=\s*\{(.*?)\};", text, re.S)
        if block is None:
            sys.exit(f"scan-card-data: no {name} in {path}")
        lists[name] = re.findall(r'"([^"]*)"', re.sub(r"//[^\n]*", "", block.group(1)))
    return lists["kPlantedPans"], lists["kPlantedTrackMarkers"]


DIGIT_RUN = re.compile(rb"[0-9](?:[ -]?[0-9]){%d,}" % (WINDOW - 1))


class Scanner:
    def __init__(self, pans, markers):
        # Every eight-digit window of every planted number, and the number it belongs to.
        self.windows = {}
        for pan in pans:
            for i in range(len(pan) - WINDOW + 1):
                self.windows.setdefault(pan[i:i + WINDOW].encode(), pan)
        self.markers = [m.encode() for m in markers]

    def planted_in(self, text):
        names = set()
        for run in DIGIT_RUN.finditer(text):
            digits = run.group(0).replace(b" ", b"").replace(b"-", b"")
            for i in range(len(digits) - WINDOW + 1):
                pan = self.windows.get(digits[i:i + WINDOW])
                if pan is not None:
                    names.add(f"card number {pan}")
        for marker in self.markers:
            if marker in text:
                names.add(f"track data {marker.decode()}")
        return sorted(names)

    def findings(self, data):
        """What of the planted data aBytes holds: plain (NULs dropped) and in hex dumps."""
        text = data.replace(b"\0", b"")
        decoded = b"\n".join(bytes.fromhex(m.group(0).decode()) for m in HEX_DUMP.finditer(text))
        return [f"{name} ({how})" for how, where in (("plain", text), ("as hex", decoded))
                for name in self.planted_in(where)]


def is_binary(path, head):
    return path.lower().endswith(BINARY_SUFFIXES) or head.startswith(BINARY_MAGIC)


def files_under(top):
    if os.path.isfile(top) and not os.path.islink(top):
        yield top
        return
    for folder, dirs, names in os.walk(top):
        # A Wine prefix is a whole Windows installation: only its users' folders hold what tests wrote.
        parts = os.path.normpath(folder).split(os.sep)
        if "wineprefix" in parts:
            depth = len(parts) - 1 - parts.index("wineprefix")
            keep = {0: {"drive_c"}, 1: {"users"}}.get(depth)
            if keep is not None:
                dirs[:] = [d for d in dirs if d in keep]
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            if not os.path.islink(path) and os.path.isfile(path):
                yield path


def self_check(scanner, pans, markers):
    """The scan finds what it must and nothing in masked forms: a scanner that finds nothing proves nothing."""
    pan = pans[0]
    grouped = " ".join(pan[i:i + 4] for i in range(0, len(pan), 4))
    masked = pan[:6] + "*" * (len(pan) - 10) + pan[-4:]
    must = [pan, grouped, grouped.replace(" ", "-"), markers[0]]
    for sample in must:
        data = ("line: " + sample + "\r\n").encode()
        hexed = ("dump [" + " ".join(f"{b:02x}" for b in sample.encode()) + "]").encode()
        utf16 = sample.encode("utf-16-le")
        for variant in (data, hexed, utf16):
            if not scanner.findings(variant):
                sys.exit(f"scan-card-data: self-check failed, {variant!r} not found")
    clean = ("Read:" + masked + " [" + " ".join(f"{b:02x}" for b in masked.encode()) + "]").encode()
    if scanner.findings(clean):
        sys.exit(f"scan-card-data: self-check failed, the masked {masked} was reported")


def main(argv):
    tops = argv[1:] or [os.path.join(ROOT, "build")]
    pans, markers = planted_lists(PLANTED)
    scanner = Scanner(pans, markers)
    self_check(scanner, pans, markers)
    scanned = 0
    skipped = 0
    unreadable = []
    findings = 0
    for top in tops:
        for path in files_under(top):
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError as e:
                unreadable.append(f"{path}: {e.strerror}")
                continue
            if is_binary(path, data[:8]):
                skipped += 1
                continue
            scanned += 1
            for finding in scanner.findings(data):
                findings += 1
                print(f"{path}: {finding}")
    for line in unreadable:
        print(f"not readable, not scanned: {line}")
    print(f"scan-card-data: {scanned} files scanned, {skipped} programs and archives left out, "
          f"{len(unreadable)} not readable, {findings} findings")
    if scanned == 0:
        return 2
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

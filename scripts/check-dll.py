#!/usr/bin/env python3
"""Checks the 32-bit product DLL: the export table (names, ordinals, no stdcall decoration), that every
export returns with `ret $0xc` (stdcall, three 4-byte arguments), that every command export takes its
16-bit result from a zero-extending call (a host reading 32 bits sees 65535 for -1), and that it imports
only DLLs that every Windows installation has."""
import argparse
import pathlib
import re
import subprocess
import sys

# The export table: resources/exports.txt, "NAME ORDINAL" per line.
EXPORTS_FILE = pathlib.Path(__file__).resolve().parent.parent / "resources" / "exports.txt"
EXPECTED = {line.split()[0]: int(line.split()[1])
            for line in EXPORTS_FILE.read_text(encoding="ascii").splitlines() if line[:1].isupper()}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "ws2_32.dll", "winhttp.dll", "winspool.drv", "msvcrt.dll", "comctl32.dll",
               "version.dll", "shlwapi.dll", "comdlg32.dll", "rpcrt4.dll", "bcrypt.dll", "crypt32.dll"}
OBJDUMP = "i686-w64-mingw32-objdump"


def ends_with_zero_extension(path, body):
    """The last call before the export's return goes to a function that starts with movzwl."""
    # With symbols objdump writes "call   6b2c1a30 <_name>"; in a stripped DLL "call   0x6b2c1a30".
    calls = re.findall(r"\tcall\s+(?:0x)?([0-9a-f]+)\b", body)
    if not calls:
        return False
    target = int(calls[-1], 16)
    dis = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", f"--start-address={target:#x}",
                          f"--stop-address={target + 8:#x}", path],
                         check=True, capture_output=True, text=True).stdout
    return re.search(r"\tmovzwl\s", dis) is not None


def main(path):
    run = subprocess.run([OBJDUMP, "-p", path], capture_output=True, text=True)
    info = run.stdout
    if run.returncode != 0 or "file format pei-i386" not in info:
        print(f"DLL check FAILED for {path}: not a 32-bit PE image ({run.stderr.strip() or 'other format'})")
        return 1
    failures = []
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", info, re.M).group(1), 16)
    base = int(re.search(r"Ordinal Base (\d+)", info).group(1))
    rvas = [int(m.group(2), 16) for m in re.finditer(r"\[\s*(\d+)\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA", info)]
    names = {}
    table = info.split("[Ordinal/Name Pointer] Table", 1)[1]
    for m in re.finditer(r"^\s*\[\s*(\d+)\] (\S+)$", table, re.M):
        names[m.group(2)] = int(m.group(1))
    found = {name: idx + base for name, idx in names.items()}
    if found != EXPECTED:
        failures.append(f"exports {sorted(found.items())} differ from {sorted(EXPECTED.items())}")
    for name, idx in names.items():
        start = image_base + rvas[idx]
        dis = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", f"--start-address={start:#x}",
                              f"--stop-address={start + 0x4000:#x}", path],
                             check=True, capture_output=True, text=True).stdout
        ret = re.search(r"\tret\s*(\S*)", dis)
        if not ret or ret.group(1) != "$0xc":
            failures.append(f"{name} does not return with ret $0xc (found {ret.group(0).strip() if ret else 'none'})")
        elif name != "VERSION" and not ends_with_zero_extension(path, dis[:ret.start()]):
            failures.append(f"{name} does not return a zero-extended 16-bit result")
    imports = {m.group(1).lower() for m in re.finditer(r"DLL Name: (\S+)", info)}
    foreign = sorted(imports - SYSTEM_DLLS)
    if foreign:
        failures.append(f"imports non-system DLLs: {foreign}")
    if failures:
        print("DLL check FAILED for " + path)
        for f in failures:
            print("  - " + f)
        return 1
    print(f"DLL check passed: {len(found)} exports by plain name with their ordinals, stdcall returns, "
          f"zero-extended command results, imports {sorted(imports)}")
    return 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     epilog="The build's DLL and the stripped one of the Windows archive give the same result.")
    parser.add_argument("dll", nargs="+", help="path of a 32-bit ZRPA_RIVEVEDEV17_10.dll")
    args = parser.parse_args()
    sys.exit(max(main(path) for path in args.dll))

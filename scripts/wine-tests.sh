#!/usr/bin/env bash
# Runs Windows test programs under Wine, one after another, and fails when any of them failed. The
# arguments after the programs (from the first one that is not an .exe) go to every program. A fresh
# prefix is made first (that takes a few seconds once).
#   scripts/wine-tests.sh build/win32/bin/zr_*_tests.exe --gtest_filter='Formatting*'
set -euo pipefail
programs=()
while [ $# -gt 0 ] && [[ "$1" == *.exe ]]; do
  programs+=("$1")
  shift
done
[ ${#programs[@]} -gt 0 ] || { echo "usage: $0 program.exe... [test arguments...]" >&2; exit 2; }
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -d "$WINEPREFIX" ]; then
  wineboot --init >/dev/null 2>&1 || true
fi
failed=()
for program in "${programs[@]}"; do
  echo "=== $program"
  wine "$program" "$@" || failed+=("$(basename "$program")")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi

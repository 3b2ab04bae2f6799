#!/usr/bin/env bash
# Runs Windows test programs under Wine, one after another, and fails when any of them failed. The
# arguments after the programs (from the first one that is not an .exe) go to every program. A fresh
# prefix is made first (that takes a few seconds once). On a machine that cannot execute 32-bit programs,
# the i686 programs are named as not run and the x86_64 ones run through the 64-bit loader.
#   scripts/wine-tests.sh build/win32/bin/zr_*_tests.exe --gtest_filter='Formatting*'
set -euo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
programs=()
while [ $# -gt 0 ] && [[ "$1" == *.exe ]]; do
  programs+=("$1")
  shift
done
[ ${#programs[@]} -gt 0 ] || { echo "usage: $0 program.exe... [test arguments...]" >&2; exit 2; }
zr_wine_prefix
failed=()
for program in "${programs[@]}"; do
  if zr_pe_is_i386 "$program" && ! zr_runs_32bit; then
    zr_not_run "$program"
    continue
  fi
  echo "=== $program"
  zr_wine "$program" "$@" || failed+=("$(basename "$program")")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi

#!/usr/bin/env bash
# The complete check: installs what is missing, builds all four configurations, runs the Linux tests
# plainly and under ASan/UBSan, runs the Windows test program under Wine (the 32-bit one for the zrpa
# tool's tests) and checks the 32-bit DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo; echo "=== $* ($(date +%T))"; }
t0=$(date +%s)

step "install dependencies"
scripts/install-deps.sh

for preset in linux linux-asan win32 win64; do
  step "configure and build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

step "tests: linux"
ctest --preset linux
step "tests: linux-asan"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset linux-asan

step "tests: win64 under wine64"
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
scripts/wine-tests.sh build/win64/bin/zr_tests.exe

step "tests of the zrpa tool: win32 under wine"
scripts/wine-tests.sh build/win32/bin/zr_tests.exe --gtest_filter='Zrpa*:DeviceLog*:P17Layouts*'

step "check the 32-bit product DLL"
python3 scripts/check-dll.py build/win32/bin/ZRPA_RIVEVEDEV17_10.dll

echo; echo "all checks passed in $(( $(date +%s) - t0 )) s"

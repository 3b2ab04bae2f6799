#!/usr/bin/env bash
# The complete check: installs what is missing, builds all four configurations, runs the Linux tests
# plainly (the fuzz corpora replayed, the fault matrix, the bad-input catalogue) and under ASan/UBSan, the
# concurrency and log tests under TSan, runs the Windows test programs of the i686 product and of the x86_64 build
# under Wine (serial tests over a pseudo-terminal pair, spooler tests on CUPS queues, OPOS tests through a
# registered COM control), runs each Windows build's day at the till against the
# emulator and checks the 32-bit DLL's exports.
#
# On a machine that cannot execute 32-bit programs, the i686 build is still made and checked from its code
# (exports, stdcall returns, imports, the archive's contents), the x86_64 Windows programs run through the
# 64-bit Wine loader, and each i686 run left out is named, here and in the closing summary.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
t0=$(date +%s)

# Each step's time, for the closing table (docs/building.md keeps the figures of a fresh machine): the
# wall-clock seconds and the processor seconds of the programs it ran, which a busy machine changes less.
mkdir -p build
timings=()
current= started=0 cpu_started=0
cpu=0
cpu_seconds() { # sets cpu to the user + system seconds of every child waited for so far
  times >build/.times # in this shell: a subshell would count only its own children
  cpu=$(awk 'NR == 2 { t = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); t += p[1] * 60 + p[2] } printf "%d", t }' build/.times)
}
end_step() {
  if [ -n "$current" ]; then
    cpu_seconds
    timings+=("$(($(date +%s) - started))|$((cpu - cpu_started))|$current")
  fi
  current=
}
step() {
  end_step
  cpu_seconds
  current="$*" started=$(date +%s) cpu_started=$cpu
  echo
  echo "=== $* ($(date +%T))"
}

export ZR_NOT_RUN_LOG="$PWD/build/not-run.txt"
: >"$ZR_NOT_RUN_LOG"
if zr_runs_32bit; then
  echo "this machine executes 32-bit programs: the i686 product's tests run under 32-bit Wine"
else
  echo "this machine cannot execute 32-bit programs: the i686 product is built and checked from its code," \
    "its runs are left out (each is named below), the x86_64 Windows programs run through wine64"
fi

step "install dependencies"
scripts/install-deps.sh

step "configure and build linux"
cmake --preset linux >/dev/null
cmake --build --preset linux

# The Linux tests wait on the emulator and on protocol time-outs far more than they compute: they run
# beside the other builds, their output kept for when they end. (No test asserts on time; the fault matrix
# adds up its waits instead of timing them.)
linux_log=build/tests-linux.log
(
  begun=$(date +%s)
  status=0
  ctest --preset linux >"$linux_log" 2>&1 || status=$?
  echo "$(($(date +%s) - begun))" >"$linux_log.seconds"
  exit $status
) &
linux_tests=$!
# A step that fails while they run ends them too, instead of leaving them behind.
trap 'pkill -P "$linux_tests" 2>/dev/null || true; kill "$linux_tests" 2>/dev/null || true' EXIT

for preset in linux-asan win32 win64; do
  step "configure and build $preset (the Linux tests run beside it)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

step "tests: linux (waiting for the run begun after the linux build)"
linux_status=0
wait "$linux_tests" || linux_status=$?
cat "$linux_log"
echo "the Linux tests took $(cat "$linux_log.seconds") s beside the builds"
[ "$linux_status" = 0 ] || { echo "tests: linux FAILED" >&2; exit 1; }

step "tests: linux-asan"
# The fault matrix runs once, in the plain build: under ASan it would double its minutes and find nothing
# the fuzz corpora replayed here do not reach.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset linux-asan -E FaultMatrix

step "concurrency and log tests under ThreadSanitizer (linux-tsan)"
cmake --preset linux-tsan >/dev/null
# Only the programs that hold the selected suites (and what they load) are built.
cmake --build --preset linux-tsan --target zr_runtime_tests zr_interface_tests zr_reliability_tests
TSAN_OPTIONS=halt_on_error=1 ctest --preset linux-tsan \
  -R 'Concurrency|LibraryLifecycle|LoadAndStop|LogWriter|BoundedQueue'

# One prefix serves the 32-bit and the 64-bit programs.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
# The fault matrix runs over TCP on the product (i686); the x86_64 build leaves it out to keep the run short,
# except where the product cannot run here: then the x86_64 build runs it in its place.
for preset in win32 win64; do
  step "tests: $preset under Wine"
  if [ "$preset" = win32 ] && ! zr_runs_32bit; then
    zr_not_run "tests: win32 under Wine (the i686 test programs)"
    continue
  fi
  filter=()
  [ "$preset" = win64 ] && zr_runs_32bit && filter=(--gtest_filter='-FaultMatrix*')
  # One program per layer, run in turn with one pseudo-terminal pair for all of them, beside a private
  # CUPS scheduler whose queues are Wine's printers (the spooler channel's tests print to them).
  build/linux/bin/zr_cups_rig tests/support/PtyWineComPair.sh "build/$preset"/bin/zr_*_tests.exe "${filter[@]}"
done

# The day at the till through the exports of each Windows build: zrpa demo fails when any result is
# not what a till expects.
for preset in win32 win64; do
  step "day at the till: $preset zrpa demo under Wine"
  if [ "$preset" = win32 ] && ! zr_runs_32bit; then
    zr_not_run "day at the till: win32 zrpa demo under Wine"
    continue
  fi
  zr_wine "build/$preset/bin/zrpa.exe" demo
done

step "check the 32-bit product DLL"
python3 scripts/check-dll.py build/win32/bin/ZRPA_RIVEVEDEV17_10.dll

step "host examples against the emulator: C and C++ (Linux, Windows under Wine), Python, C# and .NET, Object Pascal and Delphi"
scripts/run-examples.sh

step "release archives and packages: made, unpacked, installed into fresh environments, examples run"
scripts/package.sh
scripts/check-archives.sh

step "card data: the planted card numbers and tracks in no file the tests left under build/"
python3 scripts/scan-card-data.py
end_step

echo
echo "=== time per step (wall clock, processor)"
for t in "${timings[@]}"; do
  IFS='|' read -r wall cpu name <<<"$t"
  printf '%6d s %6d s  %s\n' "$wall" "$cpu" "$name"
done
if [ -s "$ZR_NOT_RUN_LOG" ]; then
  echo
  echo "=== $ZR_NOT_RUN_REASON:"
  sed 's/^/  - /' "$ZR_NOT_RUN_LOG"
fi
echo
echo "all checks passed in $(($(date +%s) - t0)) s"

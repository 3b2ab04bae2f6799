#!/usr/bin/env bash
# The main job: builds the Linux library and zrpa, whose demo calls the library through its exports for
# a day at the till (payment, its void, a refund, a reprint, totals, day close) against the built-in
# Protocol 17 terminal emulator on 127.0.0.1. No terminal and no configuration are needed. The status is
# not 0 when any result is not what a cash register expects.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "== 1/3 installing what is missing (a few minutes on a fresh machine)"
scripts/install-deps.sh
echo "== 2/3 building the library and zrpa (build/linux; the whole build is in build/main-job-build.log)"
mkdir -p build
log=build/main-job-build.log
# The compiler's lines go to the log; one progress line per tenth of the build is shown.
status=0
{ cmake --preset linux && cmake --build --preset linux --target zrpa ZRPA_RIVEVEDEV17_10; } 2>&1 | tee "$log" |
  awk '/^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), n, "/"); p = int(100 * n[1] / n[2]);
                              if (p >= shown + 10 || n[1] == n[2]) { printf "   built %d of %d (%d%%)\n", n[1], n[2], p; fflush(); shown = p } }' ||
  status=$?
if [ "$status" != 0 ]; then
  tail -40 "$log"
  echo "the build failed; the whole output is in $log" >&2
  exit 1
fi
echo "== 3/3 zrpa demo: a day at the till against the terminal emulator"
build/linux/bin/zrpa demo "$@"

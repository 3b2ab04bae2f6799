#!/usr/bin/env bash
# The main job: builds the Linux library and zrpa, whose demo calls the library through its exports for
# a day at the till (payment, its void, a refund, a reprint, totals, day close) against the built-in
# Protocol 17 terminal emulator on 127.0.0.1. No terminal and no configuration are needed. The status is
# not 0 when any result is not what a cash register expects.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target zrpa ZRPA_RIVEVEDEV17_10 >/dev/null
build/linux/bin/zrpa demo "$@"

#!/usr/bin/env bash
# The main job: builds the Linux library and runs a host program that calls it through its exports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target zrpa-host ZRPA_RIVEVEDEV17_10 >/dev/null
build/linux/bin/zrpa-host demo

#!/usr/bin/env bash
# Runs a Windows test program under wine64 and fails when it fails. Wine's own exit code is kept;
# a fresh prefix is made first (that takes a few seconds once).
set -euo pipefail
exe="$1"; shift
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -d "$WINEPREFIX" ]; then
  wineboot --init >/dev/null 2>&1 || true
fi
wine "$exe" "$@"

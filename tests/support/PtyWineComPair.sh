#!/usr/bin/env bash
# Runs Windows test programs under Wine, one after another, with COM41 and COM42 joined like a null-modem
# cable: two pseudo-terminals linked by socat, the prefix's dosdevices/com41 and com42 pointing at them.
# The pair is set up once for all the programs, which scripts/wine-tests.sh then runs in turn (the
# arguments after the programs go to every program; the script fails when any of them failed).
#   tests/support/PtyWineComPair.sh build/win64/bin/zr_io_tests.exe --gtest_filter='SerialComPair*'
#   tests/support/PtyWineComPair.sh build/win32/bin/zr_*_tests.exe
set -euo pipefail
[[ "${1:-}" == *.exe ]] || { echo "usage: $0 program.exe... [test arguments...]" >&2; exit 2; }
# shellcheck source=../../scripts/wine-env.sh
. "$(dirname "$0")/../../scripts/wine-env.sh"
zr_wine_prefix
dir=$(mktemp -d)
socat pty,raw,echo=0,link="$dir/a" pty,raw,echo=0,link="$dir/b" &
relay=$!
# Wine opens the ptys as the wineserver's controlling terminal: the relay may only end once the
# wineserver has, or the hang-up makes it dump its objects.
trap 'wineserver -w; kill $relay 2>/dev/null; rm -f "$WINEPREFIX/dosdevices/com41" "$WINEPREFIX/dosdevices/com42"; rm -rf "$dir"' EXIT
for _ in $(seq 50); do
  [ -e "$dir/a" ] && [ -e "$dir/b" ] && break
  sleep 0.1
done
ln -sfn "$(readlink -f "$dir/a")" "$WINEPREFIX/dosdevices/com41"
ln -sfn "$(readlink -f "$dir/b")" "$WINEPREFIX/dosdevices/com42"
ZR_TEST_COM_PAIR=41,42 "$(dirname "$0")/../../scripts/wine-tests.sh" "$@"

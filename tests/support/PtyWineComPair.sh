#!/usr/bin/env bash
# Runs the Windows test program under Wine with COM41 and COM42 joined like a null-modem cable: two
# pseudo-terminals linked by socat, the prefix's dosdevices/com41 and com42 pointing at them.
#   tests/support/PtyWineComPair.sh build/win64/bin/zr_tests.exe --gtest_filter='SerialComPair*'
set -euo pipefail
exe="$1"; shift
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
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
ZR_TEST_COM_PAIR=41,42 wine "$exe" "$@"

#!/usr/bin/env bash
# Checks the release archives of dist/ as a host author receives them: the checksums, then each archive
# unpacked into an empty folder, the C example built from that folder only (the header, the CMake package
# and pkg-config file on Linux; the header and the import libraries on Windows) and run against the
# archive's library and terminal emulator. Windows programs run under Wine: both builds where this
# machine executes 32-bit programs, otherwise the x86_64 one (the i686 one is built and named as not run).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
name=ZRPA_RIVEVEDEV17_10
dist="$PWD/dist"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS)
work=$(mktemp -d)
emulator_pid=
cleanup() {
  [ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts an emulator program ($@) on an ephemeral port and sets $terminal to its address.
start_emulator() {
  [ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null || true
  "$@" --tcp 0 --void-check > "$work/emulator.log" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 100); do
    terminal=$(grep -o '127\.0\.0\.1:[0-9]*' "$work/emulator.log" | head -1 || true)
    [ -n "$terminal" ] && return 0
    sleep 0.1
  done
  echo "the emulator did not start" >&2; cat "$work/emulator.log" >&2; return 1
}

# --- Linux ---------------------------------------------------------------------------------------
mkdir "$work/linux"
tar -C "$work/linux" -xzf "$dist"/$name-*-linux-x86_64.tar.gz
root=$(echo "$work"/linux/$name-*)
linux_root=$root
lib="$root/lib/lib$name.so.1"
# readelf's output is captured before it is searched: with pipefail, a "grep -q" that stops at its
# first match can end readelf by SIGPIPE and fail the pipeline although the text was there.
dynamic=$(readelf -d "$lib")
sections=$(readelf -S "$lib")
grep -q "Library soname: \[lib$name.so.1\]" <<<"$dynamic" || { echo "no soname lib$name.so.1" >&2; exit 1; }
needed=$(sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' <<<"$dynamic" | sort | tr '\n' ' ')
[ "$needed" = "ld-linux-x86-64.so.2 libc.so.6 libgcc_s.so.1 libm.so.6 libstdc++.so.6 " ] ||
  { echo "the library needs more than the C and C++ runtimes: $needed" >&2; exit 1; }
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exported" = "CANCEL CLOSE DAYCLOSE GETSTATUS GETTOTALS OPEN PAY REPRINT SysAllocStringLen SysFreeString SysStringLen VERIFYTRAN VERSION " ] ||
  { echo "the library exports more or less than its interface: $exported" >&2; exit 1; }
! grep -qE '\.symtab|\.debug_info' <<<"$sections" || { echo "the library is not stripped" >&2; exit 1; }
grep -q gnu_debuglink <<<"$sections" || { echo "the library does not name its debug file" >&2; exit 1; }
# A host that links the exports directly (GETSTATUS needs no terminal), built with the pkg-config file.
printf '#include "%s.h"\nint main(void){BSTR o=0,e=0;int r=GETSTATUS(0,&o,&e);SysFreeString(o);SysFreeString(e);return r;}\n' \
  "$name" > "$work/direct.c"
# shellcheck disable=SC2046 # the flags are words
cc "$work/direct.c" $(PKG_CONFIG_PATH="$root/lib/pkgconfig" pkg-config --cflags --libs $name) -o "$work/direct"
LD_LIBRARY_PATH="$root/lib" "$work/direct"
cmake -S "$root/examples/c" -B "$work/linux-build" -G Ninja -DCMAKE_PREFIX_PATH="$root" >/dev/null
cmake --build "$work/linux-build" >/dev/null
start_emulator "$root/bin/p17-emulator"
(cd "$work" && "$work/linux-build/pay_and_void" "$terminal" "$lib" > "$work/linux-run.log") ||
  { cat "$work/linux-run.log"; exit 1; }
echo "linux archive: C example built from the archive and run: $(tail -1 "$work/linux-run.log")"

# --- Windows -------------------------------------------------------------------------------------
mkdir "$work/windows"
(cd "$work/windows" && unzip -q "$dist"/$name-*-windows.zip)
root=$(echo "$work"/windows/$name-*)
# The shipped (stripped) product DLL: exports, stdcall returns and imports are read from its code, which
# needs no 32-bit execution.
python3 scripts/check-dll.py "$root/x86/$name.dll"
start_emulator "$linux_root/bin/p17-emulator"
export WINEDEBUG=-all
# Each architecture's C example and direct host are built from the archive (linking proves its import
# libraries); they run where this machine can start them.
for arch in x86 x64; do
  if [ $arch = x86 ]; then prefix=i686-w64-mingw32; else prefix=x86_64-w64-mingw32; fi
  run="$work/windows-run-$arch"
  mkdir "$run"
  for f in "$name.dll" p17-emulator.exe zrpa.exe "$name.lib" "lib$name.dll.a"; do
    [ -f "$root/$arch/$f" ] || { echo "the windows archive has no $arch/$f" >&2; exit 1; }
  done
  cp "$root/$arch/$name.dll" "$run/"
  "$prefix-gcc" -std=c11 -O2 -static -I"$root/include" "$root/examples/c/pay_and_void.c" \
    "$root/examples/c/zrpa_loader_win.c" -loleaut32 -o "$run/pay_and_void.exe"
  # The MinGW import library, with the host that links the exports directly.
  "$prefix-gcc" -static -I"$root/include" "$work/direct.c" -L"$root/$arch" -l$name -loleaut32 -o "$run/direct.exe"
  # The MSVC import library (short import format) read by the GNU linker: its names must import the same.
  "$prefix-gcc" -static -I"$root/include" "$work/direct.c" "$root/$arch/$name.lib" -loleaut32 -o "$run/direct-msvc.exe"
  if [ $arch = x86 ] && ! zr_runs_32bit; then
    zr_not_run "windows archive (x86): the C example and the direct hosts under Wine"
    continue
  fi
  (cd "$run" && zr_wine ./direct.exe && zr_wine ./direct-msvc.exe &&
    zr_wine ./pay_and_void.exe "$terminal" > "$work/windows-run.log") ||
    { cat "$work/windows-run.log"; exit 1; }
  echo "windows archive ($arch): C example built from the archive and run: $(tail -1 "$work/windows-run.log" | tr -d '\r')"
done

#!/usr/bin/env bash
# Checks the release archives of dist/ as a host author receives them: the checksums, then each archive
# unpacked into an empty folder, the C example built from that folder only (the header, the CMake package
# and pkg-config file on Linux; the header and the import libraries on Windows) and run against the
# archive's library and terminal emulator; then the other packages (.deb, Windows debug information,
# NuGet, Python wheels) as their users install them. Windows programs run under Wine: both builds where
# this machine executes 32-bit programs, otherwise the x86_64 one (the i686 one is built and named as not
# run).
set -euo pipefail
cd "$(dirname "$0")/.."
# The exports of resources/exports.txt and the three string functions, sorted as nm's list is.
linux_exports=$({ awk '/^[A-Z]/ { print $1 }' resources/exports.txt
                  printf '%s\n' SysAllocStringLen SysFreeString SysStringLen; } | sort | tr '\n' ' ')
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

# Checks an unpacked Linux tree ($1: the prefix with lib/, include/, bin/; $2: its title): the library's
# soname, needs, exports and stripping, a host linked through the pkg-config file, and the C example
# built with the CMake package and run against the tree's emulator.
check_linux_tree() {
  local root=$1 title=$2 lib dynamic sections needed exported
  lib="$root/lib/lib$name.so.1"
  # readelf's output is captured before it is searched: with pipefail, a "grep -q" that stops at its
  # first match can end readelf by SIGPIPE and fail the pipeline although the text was there.
  dynamic=$(readelf -d "$lib")
  sections=$(readelf -S "$lib")
  grep -q "Library soname: \[lib$name.so.1\]" <<<"$dynamic" || { echo "$title: no soname lib$name.so.1" >&2; exit 1; }
  needed=$(sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' <<<"$dynamic" | sort | tr '\n' ' ')
  [ "$needed" = "ld-linux-x86-64.so.2 libc.so.6 libgcc_s.so.1 libm.so.6 libstdc++.so.6 " ] ||
    { echo "$title: the library needs more than the C and C++ runtimes: $needed" >&2; exit 1; }
  exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort | tr '\n' ' ')
  [ "$exported" = "$linux_exports" ] ||
    { echo "$title: the library exports more or less than its interface: $exported" >&2; exit 1; }
  ! grep -qE '\.symtab|\.debug_info' <<<"$sections" || { echo "$title: the library is not stripped" >&2; exit 1; }
  grep -q gnu_debuglink <<<"$sections" || { echo "$title: the library does not name its debug file" >&2; exit 1; }
  # A host that links the exports directly (GETSTATUS needs no terminal), built with the pkg-config file.
  # shellcheck disable=SC2046 # the flags are words
  cc "$work/direct.c" $(PKG_CONFIG_PATH="$root/lib/pkgconfig" pkg-config --cflags --libs $name) -o "$work/direct"
  LD_LIBRARY_PATH="$root/lib" "$work/direct"
  rm -rf "$work/linux-build"
  cmake -S "$root/examples/c" -B "$work/linux-build" -G Ninja -DCMAKE_PREFIX_PATH="$root" >/dev/null
  cmake --build "$work/linux-build" >/dev/null
  start_emulator "$root/bin/p17-emulator"
  (cd "$work" && "$work/linux-build/pay_and_void" "$terminal" "$lib" > "$work/linux-run.log") ||
    { cat "$work/linux-run.log"; exit 1; }
  echo "$title: C example built from it and run: $(tail -1 "$work/linux-run.log")"
}
printf '#include "%s.h"\nint main(void){BSTR o=0,e=0;int r=GETSTATUS(0,&o,&e);SysFreeString(o);SysFreeString(e);return r;}\n' \
  "$name" > "$work/direct.c"

# --- Linux ---------------------------------------------------------------------------------------
mkdir "$work/linux"
tar -C "$work/linux" -xzf "$dist"/$name-*-linux-x86_64.tar.gz
linux_root=$(echo "$work"/linux/$name-*)
check_linux_tree "$linux_root" "linux archive"

# --- Debian package ------------------------------------------------------------------------------
# Unpacked, not installed: its /usr tree is checked like the archive's, with the examples where the
# package puts them, and the zrpa it starts through /usr/bin finds the library from its own folder.
version=$(sed -n "s/^project($name VERSION \([0-9.]*\).*/\1/p" CMakeLists.txt)
deb_name=lib$(echo "$name" | tr 'A-Z_' 'a-z-')
deb="$dist/${deb_name}_${version}_amd64.deb"
fields=$(dpkg-deb -f "$deb" Package Version Architecture Depends)
for want in "Package: $deb_name" "Version: $version" "Architecture: amd64"; do
  grep -qx "$want" <<<"$fields" || { echo "the .deb's control says not \"$want\": $fields" >&2; exit 1; }
done
grep -q "libc6 (>= 2\.[0-9]*)" <<<"$fields" || { echo "the .deb does not depend on a glibc version: $fields" >&2; exit 1; }
dpkg-deb -x "$deb" "$work/deb"
usr="$work/deb/usr"
for f in "lib/lib$name.so.$version" "lib/lib$name.so" "include/$name.h" "lib/pkgconfig/$name.pc" \
  "lib/cmake/$name/${name}Config.cmake" bin/zrpa bin/p17-emulator "share/doc/$deb_name/copyright" \
  "share/doc/$deb_name/docs/host-interface.md" "share/doc/$deb_name/examples/c/pay_and_void.c"; do
  [ -e "$usr/$f" ] || { echo "the .deb has no /usr/$f" >&2; exit 1; }
done
[ "$(readlink "$usr/lib/lib$name.so.1")" = "lib$name.so.$version" ] || { echo "the .deb's soname link is wrong" >&2; exit 1; }
ln -s "share/doc/$deb_name/examples" "$usr/examples" # where check_linux_tree looks for them
check_linux_tree "$usr" "debian package"
"$usr/bin/zrpa" version > "$work/zrpa-version.log" || { cat "$work/zrpa-version.log"; exit 1; }
grep -q "^Version " "$work/zrpa-version.log" || { echo "zrpa from the .deb: $(cat "$work/zrpa-version.log")" >&2; exit 1; }
echo "debian package: zrpa started through /usr/bin: $(head -1 "$work/zrpa-version.log")"

# --- Windows -------------------------------------------------------------------------------------
mkdir "$work/windows"
(cd "$work/windows" && unzip -q "$dist"/$name-*-windows.zip)
root=$(echo "$work"/windows/$name-*)
# The shipped (stripped) product DLL: exports, stdcall returns and imports are read from its code, which
# needs no 32-bit execution.
python3 scripts/check-dll.py "$root/x86/$name.dll"
# The VB6 module declares exactly the DLL's exports, by the names the DLL exports them under.
declared=$(tr -d '\r' < "$root/bindings/vb6/$name.bas" | sed -n "s/^Public Declare Function [A-Z_]* Lib \"$name.dll\" Alias \"\([A-Z]*\)\".*/\1/p" | sort | tr '\n' ' ')
dll_exports=$(objdump -p "$root/x86/$name.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort | tr '\n' ' ')
[ -n "$declared" ] && [ "$declared" = "$dll_exports" ] ||
  { echo "the VB6 module declares [$declared], the DLL exports [$dll_exports]" >&2; exit 1; }
[ -f "$root/bindings/delphi/$name.pas" ] || { echo "the windows archive has no Delphi unit" >&2; exit 1; }
# The debug archive: each DLL names its debug file, and gdb, given only the shipped DLL with that file
# beside it, maps an export to its source line, as it would a crash address from a till.
(cd "$work/windows" && unzip -q "$dist"/$name-*-windows-debug.zip)
for arch in x86 x64; do
  dll="$root/$arch/$name.dll"
  cp "$work"/windows/$name-*-windows-debug/$arch/$name.dll.debug "$root/$arch/"
  if [ $arch = x86 ]; then prefix=i686-w64-mingw32; else prefix=x86_64-w64-mingw32; fi
  rm -f "$work/debuglink"
  "$prefix-objcopy" --dump-section .gnu_debuglink="$work/debuglink" "$dll" "$work/dll-copy" 2>/dev/null || true
  link=$(head -c $((${#name} + 10)) "$work/debuglink" 2>/dev/null || true)
  [ "$link" = "$name.dll.debug" ] || { echo "the $arch DLL does not name $name.dll.debug" >&2; exit 1; }
  where=$(gdb -nx -batch -ex 'info line PAY' "$dll" 2>&1)
  grep -qE 'Line [0-9]+ of ".*\.cpp"' <<<"$where" ||
    { echo "gdb cannot read the $arch DLL's debug information: $where" >&2; exit 1; }
  echo "windows debug archive ($arch): gdb reads it: $(grep -oE 'Line [0-9]+ of "[^"]*"' <<<"$where" | head -1)"
  rm "$root/$arch/$name.dll.debug"
done
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
  # The C++ wrapper with Windows' BSTRs (wchar_t, oleaut32), linked through the import library.
  "$prefix-g++-posix" -std=c++17 -O2 -static -I"$root/include" "$root/examples/cpp/pay_and_void.cpp" -L"$root/$arch" \
    -l$name -loleaut32 -o "$run/pay_and_void_cpp.exe"
  if [ $arch = x86 ] && ! zr_runs_32bit; then
    zr_not_run "windows archive (x86): the C and C++ examples and the direct hosts under Wine"
    continue
  fi
  (cd "$run" && zr_wine ./direct.exe && zr_wine ./direct-msvc.exe &&
    zr_wine ./pay_and_void.exe "$terminal" > "$work/windows-run.log" &&
    zr_wine ./pay_and_void_cpp.exe "$terminal" > "$work/windows-run-cpp.log") ||
    { cat "$work/windows-run.log" "$work/windows-run-cpp.log" 2>/dev/null; exit 1; }
  echo "windows archive ($arch): C example built from the archive and run: $(tail -1 "$work/windows-run.log" | tr -d '\r')"
  echo "windows archive ($arch): C++ example built from the archive and run: $(tail -1 "$work/windows-run-cpp.log" | tr -d '\r')"
done

# --- NuGet package -------------------------------------------------------------------------------
# The layout NuGet clients read, the DLL of each runtime folder for its machine, and the wrapper's tests
# under Mono with the package's own assembly and Linux library.
mkdir "$work/nuget"
(cd "$work/nuget" && unzip -q "$dist/$name.Net.$version.nupkg")
for f in "lib/net45/$name.Net.dll" "lib/net45/$name.Net.xml" "runtimes/win-x86/native/$name.dll" \
  "runtimes/win-x64/native/$name.dll" "runtimes/linux-x64/native/lib$name.so" "build/$name.Net.targets" "$name.Net.nuspec"; do
  [ -f "$work/nuget/$f" ] || { echo "the NuGet package has no $f" >&2; exit 1; }
done
grep -q "<version>$version</version>" "$work/nuget/$name.Net.nuspec" || { echo "the NuGet package is not version $version" >&2; exit 1; }
zr_pe_is_i386 "$work/nuget/runtimes/win-x86/native/$name.dll" || { echo "runtimes/win-x86 holds no i386 DLL" >&2; exit 1; }
! zr_pe_is_i386 "$work/nuget/runtimes/win-x64/native/$name.dll" || { echo "runtimes/win-x64 holds an i386 DLL" >&2; exit 1; }
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$work/nuget/build/$name.Net.targets"
cp "$work/nuget/lib/net45/$name.Net.dll" "$work/nuget/runtimes/linux-x64/native/lib$name.so" "$work/"
mcs -warnaserror -r:"$work/$name.Net.dll" -out:"$work/ZrpaTests.exe" "$linux_root/bindings/dotnet/tests/ZrpaTests.cs" >/dev/null
(cd "$work" && ZRPA_EMULATOR="$linux_root/bin/p17-emulator" LD_LIBRARY_PATH="$work" ZRPA_LOG_DIR="$work/logs" \
  mono "$work/ZrpaTests.exe" > "$work/nuget-run.log") || { cat "$work/nuget-run.log"; exit 1; }
echo "NuGet package: layout checked; $(tail -1 "$work/nuget-run.log") with its assembly and Linux library"

# --- Python wheels -------------------------------------------------------------------------------
# Each wheel's contents and tag; the Linux wheel, and the package from the archive's source folder,
# installed into fresh virtual environments (offline) and run against the emulator: a payment, its void,
# a refused malformed amount and a day close, from a folder that holds no copy of the package.
cat > "$work/wheel_check.py" <<'PY'
import importlib.metadata, os, sys
from decimal import Decimal
import zrpa
from zrpa import InvalidAmountError, Terminal
assert os.path.realpath(zrpa.__file__).startswith(os.path.realpath(sys.prefix)), zrpa.__file__
assert importlib.metadata.version("zrpa") == sys.argv[2], importlib.metadata.version("zrpa")
with Terminal(tcp=sys.argv[1], log_id="wheel") as terminal:
    payment = terminal.pay(Decimal("12.34"))
    assert payment.amount == Decimal("12.34"), payment
    terminal.void(payment.refund_reference)
    try:
        terminal.pay("12,34")
        raise AssertionError("12,34 was paid")
    except InvalidAmountError as e:
        assert "'12,34'" in str(e), e
    closed = terminal.dayclose()
print(f"zrpa {sys.argv[2]}: payment, void, malformed amount and day close (total {closed.total_amount})")
PY
for platform in manylinux_2_34_x86_64 win32 win_amd64; do
  wheel="$dist/zrpa-$version-py3-none-$platform.whl"
  [ -f "$wheel" ] || { echo "no wheel $wheel" >&2; exit 1; }
  if [ "$platform" = manylinux_2_34_x86_64 ]; then native="lib$name.so.1"; else native="$name.dll"; fi
  listing=$(unzip -Z1 "$wheel")
  for f in zrpa/__init__.py zrpa/py.typed zrpa/terminal.pyi "zrpa/_native/$native" "zrpa-$version.dist-info/WHEEL"; do
    grep -qx "$f" <<<"$listing" || { echo "the $platform wheel has no $f" >&2; exit 1; }
  done
  ! grep -q "/tests/\|__pycache__" <<<"$listing" || { echo "the $platform wheel carries tests or caches" >&2; exit 1; }
  wheel_meta=$(unzip -p "$wheel" "zrpa-$version.dist-info/WHEEL")
  grep -qx "Tag: py3-none-$platform" <<<"$wheel_meta" && grep -qx "Root-Is-Purelib: false" <<<"$wheel_meta" ||
    { echo "the $platform wheel is tagged: $wheel_meta" >&2; exit 1; }
  unzip -p "$wheel" "zrpa/_native/$native" > "$work/$platform-$native"
  case $platform in
    win32) zr_pe_is_i386 "$work/$platform-$native" || { echo "the win32 wheel holds no i386 DLL" >&2; exit 1; } ;;
    win_amd64) ! zr_pe_is_i386 "$work/$platform-$native" || { echo "the win_amd64 wheel holds an i386 DLL" >&2; exit 1; } ;;
    *) # the tag's promise: no glibc symbol newer than 2.34, no libstdc++ symbol newer than 3.4.29
      symbols=$(objdump -T "$work/$platform-$native")
      newest_glibc=$(grep -o 'GLIBC_[0-9.]*' <<<"$symbols" | sed 's/GLIBC_//' | sort -V | tail -1)
      newest_cxx=$(grep -o 'GLIBCXX_[0-9.]*' <<<"$symbols" | sed 's/GLIBCXX_//' | sort -V | tail -1)
      [ "$(printf '%s\n' "$newest_glibc" 2.34 | sort -V | tail -1)" = 2.34 ] &&
        [ "$(printf '%s\n' "$newest_cxx" 3.4.29 | sort -V | tail -1)" = 3.4.29 ] ||
        { echo "the Linux library needs glibc $newest_glibc, libstdc++ $newest_cxx: not manylinux_2_34" >&2; exit 1; } ;;
  esac
done
start_emulator "$linux_root/bin/p17-emulator"
/usr/bin/python3 -m venv "$work/venv-wheel"
"$work/venv-wheel/bin/pip" install -q --no-index --disable-pip-version-check "$dist/zrpa-$version-py3-none-manylinux_2_34_x86_64.whl"
(cd "$work" && env -u ZRPA_LIBRARY ZRPA_LOG_DIR="$work/logs" "$work/venv-wheel/bin/python" "$work/wheel_check.py" "$terminal" "$version")
# From source: setuptools and wheel come from Debian's packages (--system-site-packages), nothing is downloaded.
/usr/bin/python3 -m venv --system-site-packages "$work/venv-source"
cp -r "$linux_root/examples/python" "$work/python-source"
"$work/venv-source/bin/pip" install -q --no-index --no-build-isolation --disable-pip-version-check "$work/python-source"
(cd "$work" && ZRPA_LIBRARY="$linux_root/lib/lib$name.so.1" ZRPA_LOG_DIR="$work/logs" \
  "$work/venv-source/bin/python" "$work/wheel_check.py" "$terminal" "$version")

#!/usr/bin/env bash
# Builds and runs every host example under examples/ against the terminal emulator, with the libraries
# of the build folders: C on Linux (dlopen) and on Windows under Wine (LoadLibraryW; the i686 product
# when this machine executes 32-bit programs, otherwise x86_64), the C++ wrapper's example and tests, the
# Python package's tests, C# and the .NET wrapper's tests under Mono, Object Pascal and the Delphi unit.
# Each example pays, voids that payment by its refund reference and frees what it got.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
name=ZRPA_RIVEVEDEV17_10
bin="$PWD/build/linux/bin"
lib="$bin/lib$name.so.1"
work=$(mktemp -d)
emulator_pid=
trap '[ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export ZRPA_LOG_DIR="$work/logs" # the hosts' logs stay out of the interpreters' folders

"$bin/p17-emulator" --tcp 0 --void-check > "$work/emulator.log" 2>&1 &
emulator_pid=$!
terminal=
for _ in $(seq 100); do
  terminal=$(grep -o '127\.0\.0\.1:[0-9]*' "$work/emulator.log" | head -1 || true)
  [ -n "$terminal" ] && break
  sleep 0.1
done
[ -n "$terminal" ] || { echo "the emulator did not start" >&2; exit 1; }

# Runs one example ($2...) and shows its last line; its whole output when it fails.
run() {
  local title=$1; shift
  if (cd "$work" && "$@" > "$work/out.log" 2>&1); then
    echo "$title: $(tail -1 "$work/out.log" | tr -d '\r')"
  else
    cat "$work/out.log"; echo "$title: FAILED" >&2; return 1
  fi
}

cc -std=c11 -Wall -Wextra -Wpedantic -Werror -Iinclude examples/c/pay_and_void.c examples/c/zrpa_loader_posix.c \
  -ldl -o "$work/pay_and_void"
run "C, Linux (dlopen)" "$work/pay_and_void" "$terminal" "$lib"

# The header-only C++ wrapper: the example, and its tests with AddressSanitizer watching the BSTRs' owners.
cxx_flags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror -Iinclude)
g++ "${cxx_flags[@]}" examples/cpp/pay_and_void.cpp -L"$bin" -l$name -o "$work/pay_and_void_cpp"
run "C++, Linux (header-only wrapper)" env LD_LIBRARY_PATH="$bin" "$work/pay_and_void_cpp" "$terminal"
g++ "${cxx_flags[@]}" -fsanitize=address,undefined examples/cpp/tests/terminal_test.cpp -L"$bin" -l$name \
  -lgtest_main -lgtest -pthread -o "$work/cpp_tests"
run "C++ wrapper tests (gtest)" env LD_LIBRARY_PATH="$bin" ZRPA_EMULATOR="$bin/p17-emulator" "$work/cpp_tests"

if zr_runs_32bit; then
  preset=win32 prefix=i686-w64-mingw32 arch=i686
else
  zr_not_run "C example, Windows i686 under Wine"
  preset=win64 prefix=x86_64-w64-mingw32 arch=x86_64
fi
mkdir "$work/win"
cp "build/$preset/bin/$name.dll" "$work/win/"
"$prefix-gcc" -std=c11 -Wall -Wextra -Wpedantic -Werror -static -Iinclude examples/c/pay_and_void.c \
  examples/c/zrpa_loader_win.c -loleaut32 -o "$work/win/pay_and_void.exe"
export WINEDEBUG=-all
run "C, Windows $arch under Wine (LoadLibraryW)" zr_wine "$work/win/pay_and_void.exe" "$terminal"

run "Python package zrpa (pytest)" env ZRPA_LIBRARY="$lib" ZRPA_EMULATOR="$bin/p17-emulator" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider "$PWD/examples/python/tests"

mcs -warnaserror -out:"$work/PayAndVoid.exe" examples/csharp/PayAndVoid.cs >/dev/null
run "C#, Mono (P/Invoke)" env LD_LIBRARY_PATH="$bin" mono "$work/PayAndVoid.exe" "$terminal"

mcs -target:library -warnaserror -nowarn:1591 -out:"$work/ZRPA_RIVEVEDEV17_10.Net.dll" bindings/dotnet/src/*.cs >/dev/null
mcs -warnaserror -r:"$work/ZRPA_RIVEVEDEV17_10.Net.dll" -out:"$work/ZrpaTests.exe" bindings/dotnet/tests/ZrpaTests.cs >/dev/null
run ".NET wrapper tests, Mono" env LD_LIBRARY_PATH="$bin" ZRPA_EMULATOR="$bin/p17-emulator" mono "$work/ZrpaTests.exe"

fpc -v0 -FE"$work" -Fl"$bin" examples/pascal/payandvoid.pas >/dev/null
run "Object Pascal, Free Pascal" env LD_LIBRARY_PATH="$bin" "$work/payandvoid" "$terminal"

fpc -v0 -Mdelphi -FE"$work" -Fl"$bin" -Fubindings/delphi bindings/delphi/zrpaunittest.pas >/dev/null
run "Delphi unit (Free Pascal, Delphi mode)" env LD_LIBRARY_PATH="$bin" "$work/zrpaunittest" "$terminal"

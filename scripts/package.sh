#!/usr/bin/env bash
# Makes the release archives in dist/ and their checksums (dist/SHA256SUMS):
#   ZRPA_RIVEVEDEV17_10-<version>-windows.zip          x86/ (the product: the i686 DLL) and x64/: the DLL,
#                                                      import libraries for MSVC (.lib) and MinGW (.dll.a),
#                                                      the command-line host; the .def, header, examples, docs
#   ZRPA_RIVEVEDEV17_10-<version>-linux-x86_64.tar.gz  the stripped library with its soname, pkg-config file,
#                                                      CMake package, header, command-line host, examples, docs
#   ZRPA_RIVEVEDEV17_10-<version>-linux-x86_64-debug.tar.gz   the library's separate debug symbols
# Reuses the build folders of the linux, win32 and win64 presets (builds only what is missing there).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1

name=ZRPA_RIVEVEDEV17_10
version=$(sed -n "s/^project($name VERSION \([0-9.]*\).*/\1/p" CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
# The command-line host program: the one place that says which the tools build.
if grep -qE 'add_executable\(zrpa[ )]' tools/CMakeLists.txt; then host_tool=zrpa; else host_tool=zrpa-host; fi

for preset in linux win32 win64; do
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$name" "$host_tool" p17-emulator >/dev/null
done

rm -rf dist && mkdir -p dist/stage
copy_common() { # the header, the examples (without caches) and the docs into $1
  mkdir -p "$1/include" "$1/docs"
  cp "include/$name.h" "$1/include/"
  cp -r docs/. "$1/docs/"
  cp README.md "$1/"
  tar -C . --exclude=__pycache__ --exclude=.pytest_cache -cf - examples | tar -C "$1" -xf -
}

# --- Linux ---------------------------------------------------------------------------------------
linux="dist/stage/$name-$version-linux-x86_64"
cmake --install build/linux --prefix "$PWD/$linux" >/dev/null
lib="$linux/lib/lib$name.so.$version"
debug="dist/stage/$name-$version-linux-x86_64-debug/lib/lib$name.so.$version.debug"
mkdir -p "$(dirname "$debug")"
objcopy --only-keep-debug "$lib" "$debug"
strip --strip-unneeded "$lib"
objcopy --add-gnu-debuglink="$debug" "$lib"
mkdir -p "$linux/bin"
cp "build/linux/bin/$host_tool" build/linux/bin/p17-emulator "$linux/bin/"
strip "$linux/bin/$host_tool" "$linux/bin/p17-emulator"
ln -s "../lib/lib$name.so.${version%%.*}" "$linux/bin/lib$name.so" # the host program loads it beside itself
copy_common "$linux"

# --- Windows -------------------------------------------------------------------------------------
windows="dist/stage/$name-$version-windows"
{ echo "; The exports of $name.dll by name and ordinal (32-bit: __stdcall, names without decoration)."
  sed -e '/^;/d' -e 's/@SFX@//g' "resources/$name.def.in"; } > "dist/stage/$name.def"
for arch in x86 x64; do
  if [ "$arch" = x86 ]; then preset=win32 machine=i386 prefix=i686-w64-mingw32; else preset=win64 machine=i386:x86-64 prefix=x86_64-w64-mingw32; fi
  out="$windows/$arch"
  mkdir -p "$out"
  cp "build/$preset/bin/$name.dll" "build/$preset/bin/$host_tool.exe" build/$preset/bin/p17-emulator.exe "$out/"
  "$prefix-strip" "$out/$name.dll" "$out/$host_tool.exe" "$out/p17-emulator.exe"
  # The build's .def carries the stdcall decoration of the i686 names (PAY@12): -k imports them by the
  # plain name the DLL exports, while the import symbols keep the decoration that callers reference.
  "$prefix-dlltool" -k -d "build/$preset/generated/$name.def" -D "$name.dll" -l "$out/lib$name.dll.a"
  llvm-dlltool -k -m "$machine" -d "build/$preset/generated/$name.def" -D "$name.dll" -l "$out/$name.lib"
done
cp "dist/stage/$name.def" "$windows/"
copy_common "$windows"

# --- archives and checksums ----------------------------------------------------------------------
(cd dist/stage && tar -czf "../$name-$version-linux-x86_64.tar.gz" "$name-$version-linux-x86_64" &&
  tar -czf "../$name-$version-linux-x86_64-debug.tar.gz" "$name-$version-linux-x86_64-debug" &&
  zip -qry "../$name-$version-windows.zip" "$name-$version-windows")
rm -rf dist/stage
(cd dist && sha256sum -- *.tar.gz *.zip > SHA256SUMS)
ls -l dist

#!/usr/bin/env bash
# Makes the release archives in dist/ and their checksums (dist/SHA256SUMS):
#   ZRPA_RIVEVEDEV17_10-<version>-windows.zip          x86/ (the product: the i686 DLL) and x64/: the DLL,
#                                                      import libraries for MSVC (.lib) and MinGW (.dll.a),
#                                                      the command-line host; the .def, header, examples, docs
#   ZRPA_RIVEVEDEV17_10-<version>-linux-x86_64.tar.gz  the stripped library with its soname, pkg-config file,
#                                                      CMake package, header, command-line host, examples, docs
#   ZRPA_RIVEVEDEV17_10-<version>-linux-x86_64-debug.tar.gz   the library's separate debug symbols
#   ZRPA_RIVEVEDEV17_10-<version>-windows-debug.zip    x86/ and x64/: each DLL's DWARF debug information
#                                                      (<dll>.debug, named by the DLL's .gnu_debuglink)
#   libzrpa-rivevedev17-10_<version>_amd64.deb         the Linux release as a Debian package (under /usr)
#   ZRPA_RIVEVEDEV17_10.Net.<version>.nupkg             the .NET wrapper with the three native libraries
#   zrpa-<version>-py3-none-{manylinux_2_34_x86_64,win32,win_amd64}.whl   the Python package with the library
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
copy_common() { # the headers (C and the C++ wrapper), the examples and language bindings (without caches)
  # and the docs into $1
  mkdir -p "$1/include" "$1/docs"
  cp "include/$name.h" "include/$name.hpp" "$1/include/"
  cp -r docs/. "$1/docs/"
  cp README.md "$1/"
  tar -C . --exclude=__pycache__ --exclude=.pytest_cache --exclude=.gitattributes -cf - examples bindings | tar -C "$1" -xf -
  echo "$version" > "$1/examples/python/VERSION" # for pip install from there, without CMakeLists.txt
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

# --- Debian package --------------------------------------------------------------------------------
# The Linux release as a .deb: the library with its soname and development link under /usr/lib (the
# pkg-config file and CMake package are relocatable, so they work from /usr as from the archive), the
# header, the tools, and the docs and examples under /usr/share/doc. zrpa loads the library beside its
# own file, so it lives in /usr/libexec/<name> with a link to the library and is started through /usr/bin.
deb_name=lib$(echo "$name" | tr 'A-Z_' 'a-z-')
deb="dist/stage/deb"
mkdir -p "$deb/DEBIAN" "$deb/usr/bin" "$deb/usr/libexec/$name" "$deb/usr/share/doc/$deb_name"
cp -a "$linux/lib" "$linux/include" "$deb/usr/"
cp "$linux/bin/$host_tool" "$deb/usr/libexec/$name/"
ln -s "../../lib/lib$name.so.${version%%.*}" "$deb/usr/libexec/$name/lib$name.so"
ln -s "../libexec/$name/$host_tool" "$deb/usr/bin/$host_tool"
cp "$linux/bin/p17-emulator" "$deb/usr/bin/"
cp -r "$linux/README.md" "$linux/docs" "$linux/examples" "$linux/bindings" resources/package/deb/copyright "$deb/usr/share/doc/$deb_name/"
cp resources/package/deb/triggers "$deb/DEBIAN/"
# The run-time dependencies from the versioned symbols the binaries use, as Debian's own packages get them.
mkdir -p dist/stage/shlibs/debian
printf 'Source: %s

Package: %s
Architecture: amd64
' "$deb_name" "$deb_name" > dist/stage/shlibs/debian/control
depends=$(cd dist/stage/shlibs && dpkg-shlibdeps -O "$OLDPWD/$deb/usr/lib/lib$name.so.$version" \
  "$OLDPWD/$deb/usr/libexec/$name/$host_tool" "$OLDPWD/$deb/usr/bin/p17-emulator" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }
sed -e "s/@PACKAGE@/$deb_name/" -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$depends/" \
  -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$deb" | cut -f1)/" resources/package/deb/control.in > "$deb/DEBIAN/control"
(cd "$deb" && find usr -type f -exec md5sum {} + | sort -k2 > DEBIAN/md5sums)
dpkg-deb --root-owner-group -Zxz --build "$deb" "dist/${deb_name}_${version}_amd64.deb" >/dev/null

# --- Windows -------------------------------------------------------------------------------------
windows="dist/stage/$name-$version-windows"
{ echo "; The exports of $name.dll by name and ordinal (32-bit: __stdcall, names without decoration)."
  echo "LIBRARY $name.dll"; echo "EXPORTS"
  awk '/^[A-Z]/ { printf "  %s @%s\n", ($1 == "VERSION" ? "\"" $1 "\"" : $1), $2 }' resources/exports.txt; } > "dist/stage/$name.def"
for arch in x86 x64; do
  if [ "$arch" = x86 ]; then preset=win32 machine=i386 prefix=i686-w64-mingw32; else preset=win64 machine=i386:x86-64 prefix=x86_64-w64-mingw32; fi
  out="$windows/$arch"
  mkdir -p "$out"
  cp "build/$preset/bin/$name.dll" "build/$preset/bin/$host_tool.exe" build/$preset/bin/p17-emulator.exe "$out/"
  # The DLL's DWARF debug information goes into a file of its own (the -debug archive), which the
  # stripped DLL names in .gnu_debuglink with its checksum: gdb and addr2line read it (docs/building.md).
  debug_out="dist/stage/$name-$version-windows-debug/$arch"
  mkdir -p "$debug_out"
  "$prefix-objcopy" --only-keep-debug "$out/$name.dll" "$debug_out/$name.dll.debug"
  "$prefix-strip" "$out/$name.dll" "$out/$host_tool.exe" "$out/p17-emulator.exe"
  (cd "$debug_out" && "$prefix-objcopy" --add-gnu-debuglink="$name.dll.debug" "$OLDPWD/$out/$name.dll")
  # The build's .def carries the stdcall decoration of the i686 names (PAY@12): -k imports them by the
  # plain name the DLL exports, while the import symbols keep the decoration that callers reference.
  "$prefix-dlltool" -k -d "build/$preset/generated/$name.def" -D "$name.dll" -l "$out/lib$name.dll.a"
  llvm-dlltool -k -m "$machine" -d "build/$preset/generated/$name.def" -D "$name.dll" -l "$out/$name.lib"
done
cp "dist/stage/$name.def" "$windows/"
copy_common "$windows"

# --- NuGet package -------------------------------------------------------------------------------
# The .NET wrapper (Mono's compiler, .NET Framework 4.5 profile) with the native libraries where NuGet
# clients look for them, and build/<id>.targets, which copies the right DLL into a .NET Framework
# project's output. The Linux file is named as DllImport probes for it.
nuget_id=$name.Net
nupkg="dist/stage/nuget"
mkdir -p "$nupkg/lib/net45" "$nupkg/build"
for rid in win-x86 win-x64 linux-x64; do mkdir -p "$nupkg/runtimes/$rid/native"; done
printf '[assembly: System.Reflection.AssemblyVersion("%s.0")]\n[assembly: System.Reflection.AssemblyInformationalVersion("%s")]\n' \
  "$version" "$version" > dist/stage/AssemblyVersion.cs
mcs -target:library -warnaserror -nowarn:1591 -out:"$nupkg/lib/net45/$nuget_id.dll" -doc:"$nupkg/lib/net45/$nuget_id.xml" \
  bindings/dotnet/src/*.cs dist/stage/AssemblyVersion.cs >/dev/null
cp "$windows/x86/$name.dll" "$nupkg/runtimes/win-x86/native/"
cp "$windows/x64/$name.dll" "$nupkg/runtimes/win-x64/native/"
cp "$linux/lib/lib$name.so.$version" "$nupkg/runtimes/linux-x64/native/lib$name.so"
cp "bindings/dotnet/$nuget_id.targets" "$nupkg/build/"
# The package manifest is kept as .package.xml; nuget reads it under the extension its format requires.
cp "bindings/dotnet/$nuget_id.package.xml" "dist/stage/$nuget_id.nuspec"
HOME="$PWD/dist/stage" nuget pack "dist/stage/$nuget_id.nuspec" -BasePath "$nupkg" -OutputDirectory dist \
  -Version "$version" -NoPackageAnalysis -NonInteractive >/dev/null

# --- Python wheels -------------------------------------------------------------------------------
# The package zrpa with the native library in zrpa/_native, one wheel per platform, built offline with
# Debian's tools from a staged copy (the source folder stays clean). The tags are set by hand, since no
# repair tool is at hand: the Linux library needs glibc 2.34 and libstdc++ 3.4.29 (GCC 11), hence
# manylinux_2_34_x86_64, which check-archives.sh verifies against the library's versioned symbols.
for platform in manylinux_2_34_x86_64 win32 win_amd64; do
  python_src="dist/stage/python-$platform"
  mkdir -p "$python_src"
  tar -C examples/python --exclude=__pycache__ --exclude=tests -cf - pyproject.toml setup.py README.md zrpa |
    tar -C "$python_src" -xf -
  mkdir -p "$python_src/zrpa/_native"
  case $platform in
    manylinux*) cp "$linux/lib/lib$name.so.$version" "$python_src/zrpa/_native/lib$name.so.1" ;;
    win32) cp "$windows/x86/$name.dll" "$python_src/zrpa/_native/" ;;
    win_amd64) cp "$windows/x64/$name.dll" "$python_src/zrpa/_native/" ;;
  esac
  # setuptools warns that zrpa/_native is data rather than a package, as intended: shown on failure only.
  (cd "$python_src" && ZRPA_VERSION="$version" ZRPA_WHEEL_PLATFORM="$platform" \
    /usr/bin/python3 -m build --no-isolation --wheel --outdir "$OLDPWD/dist" > "$OLDPWD/$python_src.log" 2>&1) ||
    { cat "$python_src.log" >&2; exit 1; }
done

# --- archives and checksums ----------------------------------------------------------------------
(cd dist/stage && tar -czf "../$name-$version-linux-x86_64.tar.gz" "$name-$version-linux-x86_64" &&
  tar -czf "../$name-$version-linux-x86_64-debug.tar.gz" "$name-$version-linux-x86_64-debug" &&
  zip -qry "../$name-$version-windows.zip" "$name-$version-windows" &&
  zip -qry "../$name-$version-windows-debug.zip" "$name-$version-windows-debug")
rm -rf dist/stage
(cd dist && sha256sum -- *.tar.gz *.zip *.deb *.nupkg *.whl > SHA256SUMS)
ls -l dist

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing for what is already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config ccache python3 libgtest-dev libgmock-dev googletest libbenchmark-dev
          libpugixml-dev libcurl4-openssl-dev libcups2-dev cups cups-bsd cups-client cups-daemon
          cups-core-drivers python3-minimal
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 wine64 wine socat locales)
# The host examples and the release check: C# (Mono), Object Pascal (Free Pascal), the Python binding's
# tests, and the archives.
packages+=(mono-mcs mono-runtime fp-compiler fp-units-base python3-pytest zip unzip llvm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Never wine32: 32-bit code cannot run here and it would shadow wine64. "wine" (the wine and wineboot
  # commands) is only a recommendation of wine64, so it is named itself.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# A comma-decimal locale, so the tests can show that no fixed text form follows the regional settings.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "generating locale de_DE.UTF-8"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

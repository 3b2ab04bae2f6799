#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing for what is already there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config ccache python3 libgtest-dev libgmock-dev googletest libbenchmark-dev
          libpugixml-dev libcurl4-openssl-dev libcups2-dev cups cups-bsd cups-client cups-daemon
          cups-core-drivers python3-minimal python3-apt
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 wine64 wine socat locales)
# The host examples and the release check: C# (Mono), Object Pascal (Free Pascal), the Python binding's
# tests, and the archives. Installed after 32-bit Wine, whose shared libraries may have to be held at
# the versions both architectures have.
later_packages=(mono-mcs mono-runtime fp-compiler fp-units-base python3-pytest zip unzip llvm)
# clang with libFuzzer and the sanitizer runtimes: the fuzz programs (preset linux-fuzz, scripts/fuzz.sh).
later_packages+=(clang libclang-rt-14-dev)
# The packages of the release (scripts/package.sh): the .deb's dependencies, the Python wheels (built
# offline, without downloads), the NuGet package, fresh virtual environments to test the wheels in, and
# gdb, which reads the Windows DLLs' debug files in the archive check.
later_packages+=(dpkg-dev python3-build python3-wheel python3-setuptools python3-venv nuget gdb)

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # A suite whose index fails to download (a mirror in the middle of a sync) is ignored by apt; the
    # packages are still found in the others.
    apt-get update -qq || echo "apt-get update reported a failed index; going on with the others"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# "wine" (the wine and wineboot commands) is only a recommendation of wine64, so it is named itself.
install_missing "${packages[@]}"

# 32-bit Wine beside wine64, so the i686 product DLL runs its tests like the x86_64 one; only where the
# kernel executes 32-bit programs (elsewhere it would install cleanly and then fail at its first start).
# 32-bit Wine prints through the 32-bit CUPS client library, which it loads only when it is there.
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
wine32_packages=(wine32:i386 libcups2:i386)
missing32=()
for p in "${wine32_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing32+=("$p")
done
if ! zr_runs_32bit; then
  echo "32-bit Wine (${wine32_packages[*]}) not installed: this machine cannot execute 32-bit programs"
elif [ ${#missing32[@]} -gt 0 ]; then
  echo "installing: ${missing32[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq || echo "apt-get update reported a failed index; going on with the others"
  # Takes an install only when apt can do it without removing anything the project needs.
  install_without_removals() {
    local plan
    plan=$(apt-get install -s -y --no-install-recommends "$@" 2>&1) || return 1
    if grep -q '^Remv ' <<<"$plan"; then
      echo "not taken, it would remove: $(grep '^Remv ' <<<"$plan" | cut -d' ' -f2 | tr '\n' ' ')"
      return 1
    fi
    apt-get install -y -qq --no-install-recommends "$@" >/dev/null
  }
  if ! install_without_removals "${missing32[@]}"; then
    # The i386 index of one suite may lag the amd64 one, so a library installed at a newer amd64
    # version has no i386 twin. Name, for each such library, the newest version both have.
    echo "the plain install cannot be resolved; pinning the libraries both architectures share"
    pins=$(/usr/bin/python3 "$(dirname "$0")/wine32-pins.py" "${missing32[@]}")
    # shellcheck disable=SC2086
    install_without_removals --allow-downgrades "${missing32[@]}" $pins
  fi
fi

install_missing "${later_packages[@]}"

# A comma-decimal locale, so the tests can show that no fixed text form follows the regional settings.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "generating locale de_DE.UTF-8"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

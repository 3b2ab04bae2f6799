# Sourced by the scripts that start Windows programs: whether this machine executes 32-bit programs, and
# how to start a Windows program of either kind under Wine.
#
# Machines of one kind differ here: some kernels execute i386 programs, some answer "Exec format error".
# There, Debian's `wine` and `wineboot` fail too (with 32-bit Wine installed they are the 32-bit loader's
# wrappers), but the 64-bit loader runs x86_64 programs; the i686 steps are left out with a notice.
#
#   zr_runs_32bit            status 0 when the kernel executes an i386 program (asked once, kept in
#                            ZR_RUNS_32BIT=yes|no, which the caller may also set to try the other path)
#   zr_wine PROGRAM ARGS...  starts a Windows program: any kind where 32-bit programs run, else x86_64 ones
#                            through the 64-bit loader
#   zr_wine_prefix           makes $WINEPREFIX once (a failure is shown, not hidden)
#   zr_pe_is_i386 FILE       status 0 when FILE is a 32-bit (i386) Windows program or DLL
#   zr_not_run WHAT          says that WHAT was left out because 32-bit programs do not run here, and adds
#                            it to $ZR_NOT_RUN_LOG (when set) for the caller's closing summary

ZR_NOT_RUN_REASON="not run on this machine: it cannot execute 32-bit programs"

zr_runs_32bit() {
  if [ -z "${ZR_RUNS_32BIT:-}" ]; then
    # A 96-byte static i386 program that exits with status 42 through int 0x80: no 32-bit C library or
    # loader is needed, so the answer is the kernel's alone. Written under build/ rather than /tmp, which
    # some machines mount noexec.
    local dir probe status=0
    dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"
    mkdir -p "$dir"
    probe=$(mktemp -p "$dir" i386-probe.XXXXXX)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    if [ "$status" = 42 ]; then ZR_RUNS_32BIT=yes; else ZR_RUNS_32BIT=no; fi
    export ZR_RUNS_32BIT
  fi
  [ "$ZR_RUNS_32BIT" = yes ]
}

zr_wine() {
  if zr_runs_32bit; then
    wine "$@"
  else
    WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 "$@"
  fi
}

zr_wine_prefix() {
  export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}" WINEDEBUG="${WINEDEBUG:--all}"
  [ ! -d "$WINEPREFIX/dosdevices" ] || return 0
  local out
  if ! out=$(zr_wine wineboot --init 2>&1) || [ ! -d "$WINEPREFIX/dosdevices" ]; then
    echo "could not make the Wine prefix $WINEPREFIX:" >&2
    echo "$out" >&2
    return 1
  fi
}

zr_pe_is_i386() {
  # The PE header's offset sits at 0x3c; its machine field, 4 bytes further, is 0x014c for i386.
  local offset machine
  offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')
  [ "$machine" = 014c ]
}

zr_not_run() {
  echo "$1: $ZR_NOT_RUN_REASON"
  [ -z "${ZR_NOT_RUN_LOG:-}" ] || echo "$1" >>"$ZR_NOT_RUN_LOG"
}

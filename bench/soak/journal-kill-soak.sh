#!/bin/sh
# The full kill run of the payment journal: a host (zrpa) killed with SIGKILL at every step of a payment
# and at ten offsets inside each, over TCP and a pseudo-terminal (280 rounds, some 220 kills). Prints one
# "[ MEASURED ]" line per transport (the figures of docs/reliability.md); fails when a payment that
# reached the terminal is missing from the journal or shown as failed.
#   bench/soak/journal-kill-soak.sh [build folder]      (default build/linux)
set -eu
build=${1:-build/linux}
ZR_KILL_SOAK=1 exec nice "$build/bin/zr_tools_tests" --gtest_filter='JournalKill.*'

#!/usr/bin/env bash
# Builds the libFuzzer programs (preset linux-fuzz) and runs each for a while on one core, niced, so the
# machine stays usable. Each run starts from the committed seeds (tests/fuzz/corpus/<target>) and keeps
# what it learns in build/linux-fuzz/work/<target>/corpus; inputs that break a promise land in
# build/linux-fuzz/work/<target>/findings (copy each into tests/fuzz/regressions/<target>/ with its fix).
# Fork mode goes on after a finding, so one run lists every finding. Prints the executions per target.
#
#   scripts/fuzz.sh [seconds per target, default 900] [targets, default: request terminal refund-reference]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-900}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(request terminal refund-reference)
export CCACHE_BASEDIR="$PWD/.." CCACHE_NOHASHDIR=1
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz --target "${targets[@]/#/fuzz-}"
corpus_of() { case "$1" in request) echo requests ;; *) echo "$1" ;; esac; }
for target in "${targets[@]}"; do
  work="build/linux-fuzz/work/$target"
  mkdir -p "$work/corpus" "$work/findings"
  options=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=10 -rss_limit_mb=2048
           -max_total_time="$seconds" -artifact_prefix="$work/findings/" -print_final_stats=1)
  case "$target" in
    request) options+=(-max_len=8192 -dict=tests/fuzz/requests.dict) ;;
    terminal) options+=(-max_len=8192) ;;
    refund-reference) options+=(-max_len=128) ;;
  esac
  echo "=== fuzz-$target for $seconds s"
  nice -n 10 "build/linux-fuzz/bin/fuzz-$target" "${options[@]}" "$work/corpus" \
    "tests/fuzz/corpus/$(corpus_of "$target")" >"$work/run.log" 2>&1 || true
  execs=$(grep -oE '^#[0-9]+' "$work/run.log" | tail -n 1 | tr -d '#')
  echo "fuzz-$target: ${execs:-0} executions, $(ls "$work/findings" | wc -l) findings ($work)"
done

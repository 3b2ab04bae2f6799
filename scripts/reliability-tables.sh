#!/usr/bin/env bash
# Runs the tests that produce the reliability tables (the bad-input catalogue and the fault matrix) and
# writes their tables into docs/reliability.md, each between its markers
#   <!-- table:NAME -->  ...  <!-- /table:NAME -->
# Usage: scripts/reliability-tables.sh [test program]   (default build/linux/bin/zr_reliability_tests)
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/linux/bin/zr_reliability_tests}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
ZR_RELIABILITY_OUT="$out" "$program" --gtest_filter='BadInputCatalogue.*:FaultMatrix*.*'
python3 - "$out" docs/reliability.md <<'PY'
import pathlib, re, sys
out, doc = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
text = doc.read_text(encoding="utf-8")
for table in sorted(out.glob("*.md")):
    name = table.stem
    begin, end = f"<!-- table:{name} -->", f"<!-- /table:{name} -->"
    if begin not in text:
        print(f"docs/reliability.md has no place for the table {name}", file=sys.stderr)
        continue
    body = table.read_text(encoding="utf-8")
    text = re.sub(re.escape(begin) + r".*?" + re.escape(end), lambda _: f"{begin}\n{body}{end}", text,
                  flags=re.S)
    print(f"table {name}: {body.count(chr(10)) - 2} rows")
doc.write_text(text, encoding="utf-8")
PY

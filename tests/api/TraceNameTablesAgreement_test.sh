#!/usr/bin/env bash
# The header-agreement checks compiled into TraceNameTables_test must be the
# ones the generator makes from the current tables.
set -euo pipefail
source_dir=${MORVANEX_SOURCE_DIR:?}
generated=$(mktemp)
trap 'rm -f "$generated"' EXIT
python3 "$source_dir/scripts/gen-trace-name-checks.py" \
    "$source_dir/driver/api/TraceNameTables.cpp" >"$generated"
if ! diff -u "$source_dir/tests/api/data/TraceNameTablesAgreement.inc" "$generated"; then
    echo "tests/api/data/TraceNameTablesAgreement.inc is stale; run:" >&2
    echo "  scripts/gen-trace-name-checks.py driver/api/TraceNameTables.cpp > tests/api/data/TraceNameTablesAgreement.inc" >&2
    exit 1
fi

#!/usr/bin/env bash
# The bridge benchmark at tiny sizes, so that it keeps running: every
# workload goes through both paths (pemberix.so alone, morvanex.so over it)
# and gets a median per unit for each and a ratio.
# ctest-fixture: postgres
# ctest-timeout: 600
set -euo pipefail

: "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
: "${MORVANEX_PG_DIR:?MORVANEX_PG_DIR not set}"
export LANG=C.UTF-8
unset LANGUAGE LC_ALL LC_MESSAGES

fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(bash "$MORVANEX_SOURCE_DIR/scripts/bench.sh" --build "$MORVANEX_BINARY_DIR" \
  --rows 30 --statements 3 --connects 1 --rounds 1 --dsns 10) || fail "bench.sh failed:
$out"

for row in "fetch-bound row" "fetch-getdata row" "select-key statement" "insert statement" \
  "connect connect"; do
  read -r workload unit <<<"$row"
  # Both medians and the ratio are positive numbers.
  awk -v w="$workload" -v u="$unit" '
    $1 == w && $2 == u && $3 > 0 && $4 > 0 && $5 > 0 { found = 1 }
    END { exit !found }' <<<"$out" || fail "no figures for $workload per $unit in:
$out"
done

# A count that is not a number is refused before anything runs.
if bash "$MORVANEX_SOURCE_DIR/scripts/bench.sh" --build "$MORVANEX_BINARY_DIR" --rows x \
  >/dev/null 2>&1; then
  fail "a count of x was accepted"
fi
echo "ok"

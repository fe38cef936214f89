#!/usr/bin/env bash
# The main job's statements against the test cluster: MySQL-dialect text
# through iODBC, the driver's MySQL face and pemberix.so, with the results
# checked; a step that fails makes the job fail.
# ctest-fixture: postgres
# ctest-timeout: 120
set -euo pipefail

: "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
: "${MORVANEX_PEMBERIX_PATH:?MORVANEX_PEMBERIX_PATH not set}"
demo=$MORVANEX_SOURCE_DIR/scripts/mysql-face-demo.sh

fail() { echo "FAIL: $*" >&2; exit 1; }

# Lines of `text` after the line `header`, up to the next blank line.
section() {
  awk -v header="$2" '$0 == header { on = 1; next } on && /^$/ { exit } on' <<<"$1"
}

expect_section() {
  local text=$1 header=$2 expected=$3 got
  got=$(section "$text" "$header")
  [ "$got" = "$expected" ] || fail "after '$header' expected:
$expected
got:
$got"
}

# Tests share the cluster: a table of this run's own.
table=mainjob_$$
output=$(DEMO_TABLE=$table bash "$demo" 2>&1) || fail "the demo failed:
$output"

grep -qF "connected: the driver morvanex.so presents MySQL 5.6" <<<"$output" ||
  fail "no MySQL identity in:
$output"
expect_section "$output" "mysql> SELECT \`id\`, \`name\`, \`born\` FROM \`$table\` ORDER BY \`id\`" \
  "  id | name   | born
  ---+--------+-----------
  1  | Alice  | 1988-03-14
  2  | Bob    | 1975-11-02
  3  | alfred | 2001-07-29
  (3 rows)"
describe=$(section "$output" "mysql> describe \`$table\`")
grep -qE '^  name +\| varchar +\| NO ' <<<"$describe" || fail "describe:
$describe"
grep -qE '^  born +\| date +\| YES ' <<<"$describe" || fail "describe:
$describe"
expect_section "$output" "mysql> INSERT INTO \`$table\` (\`name\`, \`born\`) VALUES ('Alma', '1990-05-17')" \
  "  rows affected: 1"
expect_section "$output" "mysql> SELECT LAST_INSERT_ID()" \
  "  LAST_INSERT_ID()
  ----------------
  4
  (1 row)"
# LIKE on a quoted column ignores case, as MySQL's does.
expect_section "$output" "mysql> SELECT \`id\`, \`name\` FROM \`$table\` WHERE \`name\` LIKE 'al%' ORDER BY \`id\`" \
  "  id | name
  ---+-------
  1  | Alice
  3  | alfred
  4  | Alma
  (3 rows)"
# DAYOFWEEK counts from Sunday = 1.
expect_section "$output" "mysql> SELECT \`name\`, \`born\`, DAYOFWEEK(\`born\`) AS \`weekday\` FROM \`$table\` ORDER BY \`id\`" \
  "  name   | born       | weekday
  -------+------------+--------
  Alice  | 1988-03-14 | 2
  Bob    | 1975-11-02 | 1
  alfred | 2001-07-29 | 1
  Alma   | 1990-05-17 | 5
  (4 rows)"

# A cluster that cannot be reached fails the job.
unreachable=$(mktemp -d)
trap 'rm -rf "$unreachable"' EXIT
printf 'PGHOST=127.0.0.1\nPGPORT=1\nPGUSER=postgres\nPGDATABASE=postgres\n' >"$unreachable/env"
if MORVANEX_PG_DIR=$unreachable DEMO_TABLE=$table bash "$demo" >/dev/null 2>&1; then
  fail "the demo succeeded without a cluster"
fi

# So does a statement the server refuses, and a DSN that does not exist.
client=$MORVANEX_BINARY_DIR/tests/tools/odbc_sql_client
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap 'rm -rf "$unreachable"; sandbox_destroy' EXIT
run_client() {
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=detect_leaks=0 timeout 60 "$client" "$@" 2>&1
}
if out=$(run_client "DSN=no-such-dsn" "SELECT 1"); then
  fail "a missing DSN counted as success: $out"
fi
grep -qF "connect failed" <<<"$out" || fail "no connect failure in: $out"

while IFS= read -r line; do
  case $line in
    PGHOST=* | PGPORT=* | PGUSER=* | PGDATABASE=*) export "${line?}" ;;
  esac
done <"$MORVANEX_PG_DIR/env"
export ODBCSYSINI=$SANDBOX/system
sandbox_add_driver morvanex "Driver=$MORVANEX_DRIVER_PATH"
sandbox_add_dsn job-pg "$MORVANEX_PEMBERIX_PATH" "Servername=$PGHOST" "Port=$PGPORT" \
  "Database=$PGDATABASE" "Username=$PGUSER"
sandbox_add_dsn job-face morvanex "DriverDSN=job-pg"
if out=$(run_client "DSN=job-face;UID=$PGUSER" "SELECT \`x\` FROM \`${table}_missing\`" \
  "SELECT 1"); then
  fail "a refused statement counted as success: $out"
fi
grep -qF "failed (rc=-1)" <<<"$out" || fail "no statement failure in: $out"
grep -qF "${table}_missing" <<<"$out" || fail "the server's message is missing: $out"
if grep -qF "mysql> SELECT 1" <<<"$out"; then
  fail "a statement ran after a failed one: $out"
fi
echo "PASS"

#!/usr/bin/env bash
# The MySQL face behind iODBC: a DSN of the built driver whose DriverDSN
# names a pemberix.so DSN on the private PostgreSQL cluster. SQLConnect and
# SQLDriverConnect succeed (with a braced password, and without a UID, where
# the adapted DSN's user connects), iodbctest runs a query and shows its row, the
# connection and statement trace goes to TraceFile, describe answers or
# fails as MySQL does, and a missing database reads as a MySQL client's
# "Access denied".
# ctest-fixture: postgres
# ctest-timeout: 120
set -euo pipefail

: "${MORVANEX_DRIVER_PATH:?MORVANEX_DRIVER_PATH not set}"
: "${MORVANEX_PEMBERIX_PATH:?MORVANEX_PEMBERIX_PATH not set}"
: "${MORVANEX_PG_DIR:?MORVANEX_PG_DIR not set}"
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT
# shellcheck source=/dev/null
source "$MORVANEX_PG_DIR/env"

client=$MORVANEX_BINARY_DIR/tests/tools/odbc_connect_client
sql=$MORVANEX_BINARY_DIR/tests/tools/odbc_sql_client
[ -x "$client" ] || { echo "FAIL: $client not built" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }

uninstrumented() {
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=detect_leaks=0 timeout 60 "$@" 2>&1
}

expect_in() {
  local what=$1 text=$2 pattern=$3
  grep -qF -- "$pattern" <<<"$text" || fail "$what: no '$pattern' in:
$text"
}

take_trace() {
  local files=("$SANDBOX"/trace-*)
  [ -e "${files[0]}" ] || fail "no trace written"
  cat "${files[@]}"
  rm -f "${files[@]}"
}

for library in "$MORVANEX_DRIVER_PATH" "$MORVANEX_DRIVER_A_PATH"; do
  sandbox_destroy
  sandbox_create
  sandbox_add_driver "Vorlan Tarvex" "Driver=$library" "TraceFile=$SANDBOX/trace"
  sandbox_add_dsn Adapted "$MORVANEX_PEMBERIX_PATH" "Servername=$PGHOST" "Port=$PGPORT" \
    "Database=$PGDATABASE" "Username=$PGUSER"
  sandbox_add_dsn Missing "$MORVANEX_PEMBERIX_PATH" "Servername=$PGHOST" "Port=$PGPORT" \
    "Database=mysqlface_no_such_db" "Username=$PGUSER"
  sandbox_add_dsn MX "Vorlan Tarvex" "DriverDSN=Adapted"
  sandbox_add_dsn MXMISSING "Vorlan Tarvex" "DriverDSN=Missing"
  name=$(basename "$library")
  w=""
  if grep -q ' SQLConnectW$' <<<"$(nm -D --defined-only "$library")"; then w=W; fi

  output=$("$client" connect MX "$PGUSER" "" 2>&1) || fail "$name: client failed: $output"
  expect_in "$name connect" "$output" "SQLConnect rc=0"
  expect_in "$name connect" "$output" "SQLDisconnect rc=0"
  trace=$(take_trace)
  expect_in "$name connect" "$trace" "rc = SQLConnect$w(dbc0x"
  expect_in "$name connect" "$trace" "// Connected - PostgreSQL version: "
  expect_in "$name connect" "$trace" "// Driver - pemberix.so version: "
  expect_in "$name connect" "$trace" "// native DBMS Type: | "
  expect_in "$name connect" "$trace" "rc = SQLDisconnect(dbc0x"

  output=$("$client" driverconnect "DSN=MX;UID=$PGUSER;PWD=hunter2" 2>&1) ||
    fail "$name: client failed: $output"
  expect_in "$name driverconnect" "$output" "SQLDriverConnect rc=0"
  trace=$(take_trace)
  expect_in "$name driverconnect" "$trace" "rc = SQLDriverConnect$w(dbc0x"
  expect_in "$name driverconnect" "$trace" "DSN=MX;UID=$PGUSER;PWD=****;"
  if grep -q hunter2 <<<"$trace"; then
    fail "$name driverconnect: the password is in the trace"
  fi

  # A password holding ";" and "}" travels in braces and is masked whole.
  braced=$(sed 's/}/}}/g' <<<"$MORVANEX_PG_SEMI_PASSWORD")
  output=$("$client" driverconnect "DSN=MX;UID=$MORVANEX_PG_SEMI_USER;PWD={$braced}" 2>&1) ||
    fail "$name: braced password: $output"
  expect_in "$name braced password" "$output" "SQLDriverConnect rc=0"
  trace=$(take_trace)
  expect_in "$name braced password" "$trace" "DSN=MX;UID=$MORVANEX_PG_SEMI_USER;PWD=****;"
  if grep -F -e "colon}" -e "semi;colon" <<<"$trace"; then
    fail "$name braced password: the password is in the trace (lines above)"
  fi

  # Without a UID the adapted DSN's own Username connects, not the system user.
  output=$("$MORVANEX_BINARY_DIR/tests/tools/odbc_sql_client" "DSN=MX" \
    "SELECT current_setting('session_authorization')" 2>&1) ||
    fail "$name no UID: $output"
  expect_in "$name no UID" "$output" "$PGUSER"
  take_trace >/dev/null

  output=$(printf 'select 41 + 1 as answer\nquit\n' |
    uninstrumented iodbctest "DSN=MX;UID=$PGUSER") || fail "$name iodbctest: $output"
  expect_in "$name iodbctest" "$output" "result set 1 returned 1 rows."
  grep -qE '^42 *$' <<<"$output" || fail "$name iodbctest: no row 42 in:
$output"
  trace=$(take_trace)
  # iodbctest prepares, executes and fetches by rowsets.
  expect_in "$name iodbctest" "$trace" "rc = SQLPrepare$w(stmt0x"
  expect_in "$name iodbctest" "$trace" "select 41 + 1 as answer"
  expect_in "$name iodbctest" "$trace" "rc = SQLExecute(stmt0x"
  expect_in "$name iodbctest" "$trace" "rc = SQLFetchScroll(stmt0x"

  # The DSN's query log: a slow statement, run directly or prepared
  # (iodbctest prepares), is logged with its milliseconds; a quick one not.
  sandbox_add_dsn MXLOG "Vorlan Tarvex" "DriverDSN=Adapted" "QueryLog_On=Yes" \
    "QueryLogTime=500" "QueryLogFile=$SANDBOX/query.log"
  output=$("$sql" "DSN=MXLOG" "SELECT pg_sleep(1)" "SELECT 2" 2>&1) || fail "$name log: $output"
  output=$(printf 'SELECT pg_sleep(1) AS prepared\nquit\n' |
    uninstrumented iodbctest "DSN=MXLOG;UID=$PGUSER") || fail "$name log iodbctest: $output"
  logged=$(cut -f2- "$SANDBOX/query.log" 2>&1 | sed -E 's/^[1-9][0-9]{3,}\t/MS\t/')
  [ "$logged" = $'MS\tSELECT pg_sleep(1)\nMS\tSELECT "pg_sleep"(1) AS "prepared"' ] ||
    fail "$name query log: $logged"
  # Nothing inserted yet: the failure comes with PostgreSQL's reason.
  output=$("$sql" "DSN=MX" "SELECT LAST_INSERT_ID()" 2>&1) && fail "$name: no failure: $output"
  grep -qE '^  \[55000\] \[Vorlan\].*lastval is not yet defined in this session' <<<"$output" ||
    fail "$name last insert id: $output"

  # describe through the driver manager: the system catalog on the search
  # path, with blanks and a semicolon; no name is MySQL's syntax error.
  output=$("$sql" "DSN=MX" "describe  pg_namespace ;" 2>&1) || fail "$name describe: $output"
  grep -qE '^ +nspname +\| name +\| NO ' <<<"$output" || fail "$name describe: $output"
  output=$("$sql" "DSN=MX" "describe " 2>&1) && fail "$name: no failure: $output"
  expect_in "$name describe" "$output" "[42000] [Vorlan][PostgreSQL] You have an error in your SQL"

  output=$("$client" connect MXMISSING "$PGUSER" "" 2>&1) || fail "$name: client failed: $output"
  expect_in "$name missing database" "$output" "SQLConnect rc=-1"
  expect_in "$name missing database" "$output" "diag 08001 [Vorlan]["
  expect_in "$name missing database" "$output" \
    '] Access denied: connection to server at'
  expect_in "$name missing database" "$output" '"mysqlface_no_such_db" does not exist'
  take_trace >/dev/null
done
echo ok

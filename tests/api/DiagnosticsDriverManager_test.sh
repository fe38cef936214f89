#!/usr/bin/env bash
# Diagnostics read through iODBC by a narrow application: the driver manager
# reaches SQLGetDiagRecW of morvanex.so and SQLGetDiagRec of morvanex-a.so,
# and the application gets the whole message either way, as the trace shows
# the driver reading it.
# ctest-timeout: 120
set -euo pipefail

: "${MORVANEX_DRIVER_PATH:?MORVANEX_DRIVER_PATH not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT

client=$MORVANEX_BINARY_DIR/tests/tools/odbc_connect_client
[ -x "$client" ] || { echo "FAIL: $client not built" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }

expect_in() {
  local what=$1 text=$2 pattern=$3
  grep -qF -- "$pattern" <<<"$text" || fail "$what: no '$pattern' in:
$text"
}

message="diag 01000 [Vorlan][Vorlan Tarvex] Lost connection to MySQL: Could not load driver: driver path not specified"

for library in "$MORVANEX_DRIVER_PATH" "$MORVANEX_DRIVER_A_PATH"; do
  sandbox_destroy
  sandbox_create
  sandbox_add_driver "Vorlan Tarvex" "Driver=$library" "TraceFile=$SANDBOX/trace"
  sandbox_add_dsn MX "Vorlan Tarvex" "Description=test"
  name=$(basename "$library")
  w=""
  if grep -q ' SQLGetDiagRecW$' <<<"$(nm -D --defined-only "$library")"; then w=W; fi

  output=$("$client" connect MX joe hunter2 2>&1) || fail "$name: client failed: $output"
  expect_in "$name" "$output" "SQLConnect rc=-1"
  expect_in "$name" "$output" "$message"

  trace=$(cat "$SANDBOX"/trace-*)
  expect_in "$name" "$trace" "rc = SQLGetDiagRec$w(SQL_HANDLE_DBC, dbc0x"
  expect_in "$name" "$trace" '// msg: "[Vorlan][Vorlan Tarvex] Lost connection to MySQL: Could not load driver: driver path not specified"'
  expect_in "$name" "$trace" "// rc: SQL_NO_DATA"
done
echo ok

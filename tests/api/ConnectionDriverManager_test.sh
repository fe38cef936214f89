#!/usr/bin/env bash
# The driver behind iODBC: a client linked with the driver manager and
# iodbctest allocate handles, set attributes and connect to a DSN of the
# built driver, whose trace goes into the sandbox. The DSN names no adapted
# DSN, so every connect fails to load an adapted driver; the password never
# reaches the trace.
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

# Hosts built without the sanitizers get their runtime preloaded.
uninstrumented() {
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=detect_leaks=0 timeout 60 "$@" 2>&1
}

expect_in() {
  local what=$1 text=$2 pattern=$3
  grep -qF -- "$pattern" <<<"$text" || fail "$what: no '$pattern' in:
$text"
}

# One run's trace: the driver appends the host's process id to TraceFile.
take_trace() {
  local files=("$SANDBOX"/trace-*)
  [ -e "${files[0]}" ] || fail "no trace written"
  cat "${files[@]}"
  rm -f "${files[@]}"
}

check_common() {
  local what=$1 trace=$2
  expect_in "$what" "$trace" "SQLRETURN rc = SQL_SUCCESS;"
  expect_in "$what" "$trace" "rc = SQLAllocHandle(SQL_HANDLE_ENV, NULL, &env0x"
  expect_in "$what" "$trace" "rc = SQLAllocHandle(SQL_HANDLE_DBC, env0x"
  expect_in "$what" "$trace" "// diagnostic: state: 01000  code: 0  msg: Lost connection to MySQL: Could not load driver: driver path not specified"
  expect_in "$what" "$trace" "rc: SQL_ERROR"
  expect_in "$what" "$trace" "rc = SQLFreeHandle(SQL_HANDLE_DBC, dbc0x"
  expect_in "$what" "$trace" "rc = SQLFreeHandle(SQL_HANDLE_ENV, env0x"
  if grep -q hunter2 <<<"$trace"; then
    fail "$what: the password is in the trace"
  fi
  # iODBC hands on the attributes set before connecting once the driver
  # takes them.
  if grep -qE ' SQLSetConnectAttrW?$' <<<"$(nm -D --defined-only "$library")"; then
    expect_in "$what" "$trace" "SQL_ATTR_LOGIN_TIMEOUT"
  fi
}

for library in "$MORVANEX_DRIVER_PATH" "$MORVANEX_DRIVER_A_PATH"; do
  sandbox_destroy
  sandbox_create
  sandbox_add_driver "Vorlan Tarvex" "Driver=$library" "TraceFile=$SANDBOX/trace"
  sandbox_add_dsn MX "Vorlan Tarvex" "Description=test"
  # iODBC calls the wide entry points of a driver that has them.
  w=""
  if grep -q ' SQLConnectW$' <<<"$(nm -D --defined-only "$library")"; then w=W; fi
  name=$(basename "$library")

  output=$("$client" connect MX joe hunter2 2>&1) || fail "$name: client failed: $output"
  expect_in "$name connect" "$output" "SQLConnect rc=-1"
  expect_in "$name connect" "$output" "SQLFreeHandle(ENV) rc=0"
  trace=$(take_trace)
  check_common "$name connect" "$trace"
  if [ -n "$w" ]; then
    expect_in "$name connect" "$trace" \
      'rc = SQLConnectW(dbc0x'
    expect_in "$name connect" "$trace" \
      ', (SQLTCHAR *) _T("MX"), 2, (SQLTCHAR *) _T("joe"), 3, (SQLTCHAR *) _T("***"), 7);'
  else
    expect_in "$name connect" "$trace" \
      ', (SQLCHAR *) "MX", SQL_NTS, (SQLCHAR *) "joe", SQL_NTS, (SQLCHAR *) "***", SQL_NTS);'
  fi

  output=$("$client" driverconnect "DSN=MX;UID=joe;PWD=hunter2" 2>&1) ||
    fail "$name: client failed: $output"
  expect_in "$name driverconnect" "$output" "SQLDriverConnect rc=-1"
  trace=$(take_trace)
  check_common "$name driverconnect" "$trace"
  expect_in "$name driverconnect" "$trace" "rc = SQLDriverConnect$w(dbc0x"
  expect_in "$name driverconnect" "$trace" '"DSN=MX;UID=joe;PWD=****;"'

  output=$(uninstrumented iodbctest "DSN=MX;UID=joe;PWD=hunter2" </dev/null) || true
  expect_in "$name iodbctest" "$output" "SQLSTATE="
  trace=$(take_trace)
  expect_in "$name iodbctest" "$trace" "rc = SQLDriverConnect$w(dbc0x"
  expect_in "$name iodbctest" "$trace" '"DSN=MX;UID=joe;PWD=****;"'
  if grep -q hunter2 <<<"$trace"; then
    fail "$name iodbctest: the password is in the trace"
  fi
done
echo ok

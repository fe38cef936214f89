#!/usr/bin/env bash
# The setup entry as an installer host meets it: a client linked with iODBC's
# installer library calls SQLConfigDataSourceW on the driver "morvanex",
# whose odbcinst.ini entry names the built morvanex.so as its setup library.
# Dialogs are answered by the scripted test UI module. Last, the client runs
# as an unprivileged user whose write of the system odbc.ini is refused: the
# request goes to a relay stand-in, and only its "OK" counts as success.
# Needs root (clients run under setpriv).
# ctest-timeout: 180
set -euo pipefail

: "${MORVANEX_DRIVER_PATH:?MORVANEX_DRIVER_PATH not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
: "${MORVANEX_UI_SCRIPT_PATH:?MORVANEX_UI_SCRIPT_PATH not set}"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || fail "run as root: the last cases change users"

# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT
export LC_ALL=C.UTF-8 LANGUAGE=en
unset LANG DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM FLATPAK_ID
sandbox_add_driver morvanex "Driver=$MORVANEX_DRIVER_PATH" "Setup=$MORVANEX_DRIVER_PATH"
sandbox_add_dsn keep morvanex DriverDSN=pg

tools=$MORVANEX_BINARY_DIR/tests/tools
# The client is not built with the sanitizers: their runtime is preloaded.
client() {
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=detect_leaks=0 timeout 60 \
    "$tools/config_dsn_client" "$@" 2>>"$SANDBOX/run/stderr"
}
scripted() {
  printf '%s\n' "$@" >"$SANDBOX/script.$((++serial))"
  chmod 644 "$SANDBOX/script.$serial"
  export MORVANEX_TEST_UI_MODULE=$MORVANEX_UI_SCRIPT_PATH
  export MORVANEX_UI_SCRIPT=$SANDBOX/script.$serial
  export MORVANEX_UI_JOURNAL=$SANDBOX/run/journal
}
serial=0
expect() {
  local what=$1 got=$2 want=$3
  [ "$got" = "$want" ] || fail "$what: got
$got
want
$want
stderr: $(cat "$SANDBOX/run/stderr" 2>/dev/null)"
}
section() { sed -n "/^\[$2\]/,/^\[/p" "$1"; }

ODBC_ADD_DSN=1 ODBC_REMOVE_DSN=3 ODBC_ADD_SYS_DSN=4

scripted "wizard accept DSN=x DriverDSN=y"
expect "add" "$(client $ODBC_ADD_DSN morvanex DSN=x DriverDSN=y)" "result 1"
grep -q '^DriverDSN *= *y$' <<<"$(section "$ODBCINI" x)" || fail "add: no x in $(cat "$ODBCINI")"

scripted ""
expect "remove" "$(client $ODBC_REMOVE_DSN morvanex DSN=x)" "result 1"
[ -z "$(section "$ODBCINI" x)" ] || fail "remove: x still in $(cat "$ODBCINI")"

# No display and no test module: the wizard cannot run, nothing is written.
before=$(cat "$ODBCINI" "$SYSODBCINI")
got=$(env -u MORVANEX_TEST_UI_MODULE -u MORVANEX_UI_SCRIPT \
  bash -c "$(declare -f client); tools=$tools SANDBOX=$SANDBOX client $ODBC_ADD_DSN morvanex DSN=x DriverDSN=y")
grep -qx "result 0" <<<"$got" || fail "no display: $got"
grep -q "^error 11 .*display" <<<"$got" || fail "no display: no installer error 11 in $got"
expect "no display writes nothing" "$(cat "$ODBCINI" "$SYSODBCINI")" "$before"

scripted "alert ok"
got=$(FLATPAK_ID=org.example.App client $ODBC_REMOVE_DSN morvanex DSN=keep)
grep -qx "result 0" <<<"$got" || fail "sandboxed remove: $got"
[ -n "$(section "$ODBCINI" keep)" ] || fail "sandboxed remove removed keep"

# An unprivileged user: the system file is root's, so the installer refuses
# the write and the request goes to the relay.
chmod 755 "$SANDBOX"
chown -R nobody:nogroup "$SANDBOX/home" "$SANDBOX/user" "$SANDBOX/run"
before=$(cat "$SYSODBCINI")
want="ConnectionString=DSN=x;Description={a;b};DriverDSN=y;ReadOnly=;AutoDetectEncoding=;\
WideAPI=;UnicodeTextTypes=;MultiByteEncoding=;QueryLog_On=;QueryLogTime=;QueryLogFile=;
Driver=morvanex
Path=$SANDBOX/user
Request=Add
Type=System"
for reply in "ERROR 13:0" "OK:1"; do
  scripted "wizard accept DSN=x DriverDSN=y Description=a%3Bb" "alert ok"
  rm -f "$SANDBOX/run/request"
  setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
    "$tools/relay_stub" "${reply%:*}" "$SANDBOX/run/request" >"$SANDBOX/run/relay.out" &
  relay=$!
  for _ in $(seq 1200); do grep -q listening "$SANDBOX/run/relay.out" && break; sleep 0.05; done
  got=$(setpriv --reuid=nobody --regid=nogroup --clear-groups -- bash -c \
    "$(declare -f client); tools=$tools SANDBOX=$SANDBOX client $ODBC_ADD_SYS_DSN morvanex DSN=x")
  wait "$relay" || fail "relay stand-in failed"
  grep -qx "result ${reply#*:}" <<<"$got" || fail "relay answered ${reply%:*}: $got"
  expect "request sent to the relay" "$(cat "$SANDBOX/run/request")" "$want"
  expect "system file untouched" "$(cat "$SYSODBCINI")" "$before"
done
echo "PASS"

#!/usr/bin/env bash
# Quillmark's DSN editor run as an unprivileged administrator: renaming a
# system DSN it may not write sends exactly one request to the helper on
# its own socket, and the listing shows the rename once the helper said OK.
# Without the helper's answer, nothing is shown as done, and the alert tells
# a helper that is not reached from one that refused the caller.
# ctest-timeout: 120
set -euo pipefail
export MORVANEX_HELPER_CLIENT=${MORVANEX_HELPER_CLIENT:-unused}
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
CLIENT=$MORVANEX_BINARY_DIR/tests/tools/quillmark_edit_client

helper_world
trap world_destroy EXIT
printf '[ODBC Data Sources]\nOld = Vorlan Tarvex\n\n[Old]\nDriver = /usr/lib/morvanex.so\nServer = a\n' \
  >"$WORLD/system/odbc.ini"
export ODBCINI=$WORLD/user/odbc.ini ODBCINSTINI=$WORLD/user/odbcinst.ini
export SYSODBCINI=$WORLD/system/odbc.ini SYSODBCINSTINI=$WORLD/system/odbcinst.ini
export HOME=$WORLD/user

edit() { ${1:-as_admin} timeout 60 "$CLIENT" "$SOCKET" Old New "Vorlan Tarvex" Server=b; }
# refused WHO SAID: not answered OK, the file kept, the alert says SAID.
refused() {
  got=$(edit "$1")
  [ "$(head -1 <<<"$got")" = HelperRefused ] || fail "$1: $got"
  grep -qF "$2" <<<"$got" || fail "$1: $got"
  grep -q '^\[Old\]' "$WORLD/system/odbc.ini" || fail "$1: old DSN lost"
}

# No helper listening: how it is enabled.
refused as_admin "helper could not be reached. An administrator enables it with: sudo systemctl"
helper_start
# It runs and refuses a caller polkit does not authorise: who may change the files.
refused as_stranger "helper refused the change. Only root, or an administrator who authent"

got=$(edit)
[ "$got" = "$(printf 'Sent\nNew')" ] || fail "through the helper: $got; helper: $(cat "$WORLD/helper.log")"
grep -q '^\[New\]' "$WORLD/system/odbc.ini" || fail "new DSN not written"
grep -q '^\[Old\]' "$WORLD/system/odbc.ini" && fail "old DSN not removed"
[ "$(ini_value "$WORLD/system/odbc.ini" New Server)" = b ] || fail "Server not written"
count=$(grep -c "Configure DSN" "$WORLD/helper.log" || true)
[ "$count" = 1 ] || fail "expected one request, the helper saw $count"
echo OK

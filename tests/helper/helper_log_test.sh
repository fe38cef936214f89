#!/usr/bin/env bash
# The helper's log names each request's command, scope and DSN with its
# answer, and never a value: a password in a connection string stays out.
# ctest-timeout: 60
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
trap world_destroy EXIT
helper_world
helper_start

REQUESTS=(
  "OK|Request|Add|Type|System|ConnectionString|DSN=Vault;UID=sam;PWD=secret;|Driver|Vorlan Tarvex|Path|"
  "OK|Request|Configure|Type|System|ConnectionString|DSN=Vault;PWD={my;secret};|Driver||Path||OriginalName|Vault"
  "ERROR|Request|Remove|Type|System|ConnectionString|DSN=Vault;PWD=secret|Driver||Path|"
  "ERROR|Request|Add|Type|System|ConnectionString|PWD=secret;DSN=Vault;|Driver|Vorlan Tarvex|Path|"
  "ERROR|Request|Add|Type|System|ConnectionString|DSN=Vault;PWD={secret|Driver|Vorlan Tarvex|Path|"
)
# Each "expected reply|KEY|VALUE|..."; a refusal's status is another test's.
for line in "${REQUESTS[@]}"; do
  IFS='|' read -r -a fields <<<"$line|"
  reply=$(send as_root "$(xml_request "${fields[@]:1}")")
  expect_eq "$line" "${reply%% *}" "${fields[0]}"
done
helper_stop
expect_eq "password written" "$(ini_value "$WORLD/system/odbc.ini" Vault PWD)" "my;secret"
if grep -q secret "$WORLD/helper.log"; then
  fail "a password reached the log: $(grep secret "$WORLD/helper.log")"
fi
grep -q 'request: Add System DSN "Vault": OK' "$WORLD/helper.log" ||
  fail "the request is not named in the log: $(cat "$WORLD/helper.log")"
echo PASS

#!/usr/bin/env bash
# The helper's log names each request's command, scope and DSN with its
# answer, and never a value: a password in a connection string stays out.
# No request text forges a line: names are escaped and cut, a parse
# failure says only where, and a rename names both names.
# ctest-timeout: 300
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
# Each "text of the log|request" (old-style, whose "\n" is a line break).
FORGERIES=(
  'Incorrect format: line 1, column 42|{ Request = GetVersion; "x\nFORGED" = a; "x\nFORGED" = b; }'
  'request: Add System DSN "Evil\x0aFORGED": ERROR 5368|{ Request = Add; Type = System; ConnectionString = "DSN=Evil\nFORGED;"; Driver = "Vorlan Tarvex"; Path = ""; }'
  'request: Add System DSN "x\x22: OK FORGED":|{ Request = Add; Type = System; ConnectionString = "DSN=x\": OK FORGED;"; Driver = "Vorlan Tarvex"; Path = ""; }'
  'request: Configure System DSN "Harmless" (replacing "Payroll"):|{ Request = Configure; Type = System; ConnectionString = "DSN=Harmless;"; Driver = ""; Path = ""; OriginalName = Payroll; }'
  'request: driver Configure System "New" (replacing "Old"):|{ com.apple.dts.BetterAuthorizationSample.command = ConfigureDriver; Request = Configure; Type = System; DriverName = New; OriginalName = Old; DriverPath = /usr/lib/morvanex.so; SetupPath = ""; }'
)
for line in "${FORGERIES[@]}"; do
  send as_root "${line#*|}" >/dev/null
  grep -qF -- "${line%%|*}" "$WORLD/helper.log" || fail "not logged: ${line%%|*}: $(tail -3 "$WORLD/helper.log")"
done
helper_stop
if grep -v '^QuillmarkHelper\[' "$WORLD/helper.log"; then
  fail "a log line the helper did not write"
fi
expect_eq "password written" "$(ini_value "$WORLD/system/odbc.ini" Vault PWD)" "my;secret"
if grep -q secret "$WORLD/helper.log"; then
  fail "a password reached the log: $(grep secret "$WORLD/helper.log")"
fi
grep -q 'request: Add System DSN "Vault": OK' "$WORLD/helper.log" ||
  fail "the request is not named in the log: $(cat "$WORLD/helper.log")"
echo PASS

#!/usr/bin/env bash
# The helper on its own socket over sandbox ini files: every request kind
# in XML and in old-style text gives the same files; refusals (validation,
# an unauthorised caller) write nothing and say so; a user request is
# applied as that user; polkit decides for every caller but root, the
# group alone counting for nothing.
# ctest-timeout: 300
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
trap world_destroy EXIT

# A root-owned file in root-owned folders, as a system driver must be.
ROOT_FILE=/usr/bin/env

# The requests of one run, each "expected reply|KEY|VALUE|...".
ACCEPTED=(
  "OK|Request|Add|Type|System|ConnectionString|DSN=Sales;Description=Orders;Port=5432;PWD={a;b}}c};|Driver|Vorlan Tarvex|Path|"
  "OK|Request|Configure|Type|System|ConnectionString|DSN=Sales;Description=Invoices;Port=;|Driver||Path||OriginalName|Sales"
  "OK|Request|Add|Type|System|ConnectionString|DSN=Stock;Description=Items;|Driver|Vorlan Tarvex|Path|"
  "OK|Request|remove|Type|System|ConnectionString|Stock|Driver||Path|"
  "OK|Request|Add|Type|System|ConnectionString|DSN=Old;Description=Before;|Driver|Vorlan Tarvex|Path|"
  "OK|Request|Configure|Type|System|ConnectionString|DSN=Revenue;Description=Renamed;|Driver||Path||OriginalName|Old"
  "OK|Request|GetVersion"
  "OK|com.apple.dts.BetterAuthorizationSample.command|ConfigureDriver|Request|Add|Type|System|DriverName|Other|DriverPath|$ROOT_FILE|SetupPath||Path||OriginalName|"
  "OK|com.apple.dts.BetterAuthorizationSample.command|ConfigureDriver|Request|Configure|Type|System|DriverName|Renamed Driver|DriverPath|$ROOT_FILE|SetupPath|$ROOT_FILE|Path||OriginalName|Other"
)

# run_requests FORM: sends every accepted request in FORM, checking replies.
run_requests() {
  local form=$1 line
  for line in "${ACCEPTED[@]}"; do
    IFS='|' read -r -a fields <<<"$line|"
    local expected=${fields[0]}
    local text
    text=$("${form}_request" "${fields[@]:1}")
    expect_eq "$form: $line" "$(send as_root "$text")" "$expected"
  done
}

declare -A RESULT
FORMS=(xml old_style)
for form in "${FORMS[@]}"; do
  helper_world
  helper_start
  run_requests "$form"
  RESULT[$form]=$(cat "$WORLD/system/odbc.ini" "$WORLD/system/odbcinst.ini")
  sys=$WORLD/system/odbc.ini
  inst=$WORLD/system/odbcinst.ini
  expect_eq "$form: configured in place" "$(ini_value "$sys" Sales Description)" "Invoices"
  expect_eq "$form: empty value deletes" "$(ini_value "$sys" Sales Port)" "<absent>"
  expect_eq "$form: braced value" "$(ini_value "$sys" Sales PWD)" "a;b}c"
  expect_eq "$form: removed DSN gone" "$(ini_value "$sys" "ODBC Data Sources" Stock)" "<absent>"
  expect_eq "$form: renamed DSN listed" "$(ini_value "$sys" "ODBC Data Sources" Revenue)" "Vorlan Tarvex"
  expect_eq "$form: renamed DSN's driver" "$(ini_value "$sys" Revenue Driver)" "/usr/lib/morvanex.so"
  expect_eq "$form: renamed DSN's keys" "$(ini_value "$sys" Revenue Description)" "Renamed"
  expect_eq "$form: old name gone" "$(ini_value "$sys" "ODBC Data Sources" Old)" "<absent>"
  expect_eq "$form: old section gone" "$(ini_value "$sys" Old Description)" "<absent>"
  expect_eq "$form: driver renamed" "$(ini_value "$inst" "ODBC Drivers" "Renamed Driver")" "Installed"
  expect_eq "$form: driver path" "$(ini_value "$inst" "Renamed Driver" Setup)" "$ROOT_FILE"
  expect_eq "$form: old driver gone" "$(ini_value "$inst" "ODBC Drivers" Other)" "<absent>"
  world_destroy
done
[ "${RESULT[xml]}" = "${RESULT[old_style]}" ] ||
  fail "XML and old-style requests gave different files:
${RESULT[xml]}
---
${RESULT[old_style]}"

# Refusals: each answered with its status, nothing written.
helper_world
mkdir "$WORLD/own" && : >"$WORLD/own/driver.so" && chown -R nobody "$WORLD/own"
PREFS=$(xml_request TraceFile relative/trace.log | base64 -w0)
REFUSED=(
  "ERROR 5368|Request|Add|Type|System|ConnectionString|DSN=A;DSN=B;|Driver|Vorlan Tarvex|Path|"
  "ERROR 5368|Request|Add|Type|System|ConnectionString|DSN=A;Description=x$(printf '\t')y;|Driver|Vorlan Tarvex|Path|"
  "ERROR 5368|Request|Add|Type|System|ConnectionString|DSN=ODBC Data Sources;|Driver|Vorlan Tarvex|Path|"
  "ERROR 5368|Request|Add|Type|System|ConnectionString|DSN=A;Key=Value;|Driver|Vorlan [x]|Path|"
  "ERROR 5368|com.apple.dts.BetterAuthorizationSample.command|ConfigureDriver|Request|Add|Type|System|DriverName|Mine|DriverPath|$WORLD/own/driver.so|SetupPath||Path|"
  "ERROR 5369|Request|Configure|Type|System|ConnectionString|Description=x;|Driver||Path|"
  "ERROR 5369|Request|Remove|Type|System|ConnectionString|A|Path|"
  "ERROR 5372|Request|Launch"
)
helper_start
before=$(cat "$WORLD"/system/* "$WORLD"/user/*)
for line in "${REFUSED[@]}"; do
  IFS='|' read -r -a fields <<<"$line|"
  expect_eq "refused: $line" "$(send as_root "$(xml_request "${fields[@]:1}")")" "${fields[0]}"
done
prefs_request="$(xml_request Request UpdatePreferences ProductName "Vorlan Tarvex" |
  sed "s|</dict>|<key>Preferences</key><data>$PREFS</data></dict>|")"
expect_eq "relative TraceFile" "$(send as_root "$prefs_request")" "ERROR 5368"
expect_eq "not a property list" "$(send as_root "Request=Add")" "ERROR 5371"
expect_eq "binary property list" "$(send as_root "bplist00")" "ERROR 5371"
expect_eq "caller polkit does not authorise" \
  "$(send as_stranger "$(xml_request Request Add Type User ConnectionString 'DSN=X;' Driver 'Vorlan Tarvex' Path '')")" \
  "ERROR 5370"
expect_eq "nothing written by refusals" "$(cat "$WORLD"/system/* "$WORLD"/user/*)" "$before"

# Preferences: the first of a list is stored, TraceFile absolute.
PREFS=$(printf '<plist><dict><key>TraceFile</key><string>/var/log/t</string><key>RecentServers</key><array><string>one</string><string>two</string></array></dict></plist>' | base64 -w0)
prefs_request="$(xml_request Request UpdatePreferences ProductName "Vorlan Tarvex" |
  sed "s|</dict>|<key>Preferences</key><data>$PREFS</data></dict>|")"
expect_eq "preferences" "$(send as_root "$prefs_request")" "OK"
expect_eq "TraceFile stored" "$(ini_value "$WORLD/system/odbcinst.ini" "Vorlan Tarvex" TraceFile)" "/var/log/t"
expect_eq "first server only" "$(ini_value "$WORLD/system/odbcinst.ini" "Vorlan Tarvex" RecentServers)" "one"

# A user request from an administrator is applied as that user: written in
# the user's file, which stays the user's, and refused where only root
# could write.
user_add=$(xml_request Request Add Type User ConnectionString 'DSN=Mine;Description=Own;' Driver 'Vorlan Tarvex' Path '/ignored')
expect_eq "user add" "$(send as_admin "$user_add")" "OK"
expect_eq "user DSN" "$(ini_value "$WORLD/user/odbc.ini" Mine Description)" "Own"
expect_eq "user file owner" "$(stat -c %U "$WORLD/user/odbc.ini")" "nobody"
expect_eq "system untouched" "$(ini_value "$WORLD/system/odbc.ini" "ODBC Data Sources" Mine)" "<absent>"
chown root "$WORLD/user/odbc.ini"
expect_eq "user add not done as root" "$(send as_admin "$user_add")" "ERROR 5366"

# polkit, asked with user interaction, decides for an administrator adding
# a system DSN: "pkcheck's answer|reply|the DSN in the file" (not
# authorised, no agent, dismissed, failed, authenticated).
sys_add=$(xml_request Request Add Type System ConnectionString 'DSN=Polkit;' Driver 'Vorlan Tarvex' Path '')
for row in "1|ERROR 5370|<absent>" "2|ERROR 5370|<absent>" "3|ERROR 5370|<absent>" \
  "4|ERROR 5370|<absent>" "0|OK|Vorlan Tarvex"; do
  IFS='|' read -r answer reply listed <<<"$row"
  echo "$answer" >"$WORLD/pkcheck.65534"
  expect_eq "pkcheck $answer" "$(send as_admin "$sys_add")" "$reply"
  expect_eq "pkcheck $answer: file" "$(ini_value "$WORLD/system/odbc.ini" "ODBC Data Sources" Polkit)" "$listed"
done
# A caller that gave up while its user authenticated is not served.
echo late >"$WORLD/pkcheck.65534"
printf '%s' "$(xml_request Request Add Type System ConnectionString 'DSN=Late;' Driver 'Vorlan Tarvex' Path '')" |
  as_admin "$MORVANEX_HELPER_CLIENT" "$SOCKET" >/dev/null 2>&1 &
client=$!
for _ in $(seq 600); do [ -e "$WORLD/pkcheck.waiting" ] && break; sleep 0.1; done
kill "$client"
wait "$client" || true
for _ in $(seq 600); do grep -q "left during authentication" "$WORLD/helper.log" && break; sleep 0.1; done
expect_eq "caller gone" "$(ini_value "$WORLD/system/odbc.ini" "ODBC Data Sources" Late)" "<absent>"
grep -q "left during authentication" "$WORLD/helper.log" || fail "no line for a caller gone"
grep -Eq '^--action-id com\.vorlanworks\.quillmark\.helper\.write --process [0-9]+,[0-9]+,65534 --allow-user-interaction$' \
  "$WORLD/pkcheck.args" || fail "pkcheck arguments: $(cat "$WORLD/pkcheck.args")"
helper_stop

grep -q "Configuring connection event handler for helper" "$WORLD/helper.log" ||
  fail "no start line in $(cat "$WORLD/helper.log")"
grep -q "termination imminent" "$WORLD/helper.log" || fail "no stop line"
echo PASS

#!/usr/bin/env bash
# Requests at the same time over a system odbc.ini of many DSNs: each is
# applied whole, one after another, and no process outlives its reply; a
# change that hangs is stopped at its deadline and reported as failed, one
# that has begun to replace the files is waited for.
# ctest-timeout: 120
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
trap world_destroy EXIT

SEEDS=50
PARALLEL=12
helper_world
sys=$WORLD/system/odbc.ini
{
  printf '[ODBC Data Sources]\n'
  for i in $(seq $SEEDS); do printf 'Seed%s = Vorlan Tarvex\n' "$i"; done
  for i in $(seq $SEEDS); do
    printf '\n[Seed%s]\nDriver = /usr/lib/seed%s.so\nDescription = seed %s\n' "$i" "$i" "$i"
  done
} >"$sys"
helper_start

# Half from root, half from an administrator who is not root.
clients=()
for i in $(seq $PARALLEL); do
  who=as_root
  [ $((i % 2)) = 0 ] && who=as_admin
  request=$(xml_request Request Add Type System ConnectionString "DSN=New$i;Description=added $i;" \
    Driver "Vorlan Tarvex" Path '')
  send "$who" "$request" >"$WORLD/reply.$i" &
  clients+=($!)
done
wait "${clients[@]}"
sleep 1
expect_eq "helper processes a second after the last reply" "$(helper_descendants)" 0
for i in $(seq $PARALLEL); do
  expect_eq "reply $i" "$(cat "$WORLD/reply.$i")" "OK"
  expect_eq "New$i listed" "$(ini_value "$sys" "ODBC Data Sources" "New$i")" "Vorlan Tarvex"
  expect_eq "New$i written" "$(ini_value "$sys" "New$i" Description)" "added $i"
done
for i in $(seq $SEEDS); do
  expect_eq "Seed$i listed" "$(ini_value "$sys" "ODBC Data Sources" "Seed$i")" "Vorlan Tarvex"
  expect_eq "Seed$i kept" "$(ini_value "$sys" "Seed$i" Driver)" "/usr/lib/seed$i.so"
done
helper_stop

# A change that never finishes (the child stalls, as a hung file system
# would leave it): stopped at its deadline, the file untouched.
before=$(cat "$sys")
helper_start --child-timeout 2 --test-stall-child
started=$SECONDS
expect_eq "overrun" "$(send as_root "$(xml_request Request Add Type System \
  ConnectionString 'DSN=Late;' Driver 'Vorlan Tarvex' Path '')")" "ERROR 5366"
[ $((SECONDS - started)) -le 10 ] || fail "overrun answered after $((SECONDS - started)) s"
sleep 1
expect_eq "helper processes after an overrun" "$(helper_descendants)" 0
expect_eq "file after an overrun" "$(cat "$sys")" "$before"
helper_stop

# Let replace the files just before its deadline, a change that then takes
# longer is not killed half way: the answer says what the file holds.
helper_start --child-timeout 1 --test-slow-install
expect_eq "install past the deadline" "$(send as_root "$(xml_request Request Add Type System \
  ConnectionString 'DSN=Slow;Description=slow;' Driver 'Vorlan Tarvex' Path '')")" "OK"
expect_eq "Slow written" "$(ini_value "$sys" Slow Description)" "slow"
helper_stop
before=$(cat "$sys")

# The writer's lock beside the system file, were others able to open it,
# could be held by them: root takes it back before it writes.
chmod 644 "$sys.lock"
helper_start
expect_eq "lock others may open" "$(send as_admin "$(xml_request Request Add Type System \
  ConnectionString 'DSN=Open;' Driver 'Vorlan Tarvex' Path '')")" "OK"
expect_eq "lock taken back" "$(stat -c %a "$sys.lock")" "600"

# The helper and pelnard as root changing the system odbcinst.ini at once:
# whatever either added is there afterwards.
inst=$WORLD/system/odbcinst.ini
printf '[ODBC Drivers]\n' >"$inst"
clients=()
for i in $(seq 16); do
  who=as_root
  [ $((i % 2)) = 0 ] && who=as_admin
  send "$who" "$(xml_request com.apple.dts.BetterAuthorizationSample.command ConfigureDriver \
    Request Add Type System DriverName "Drv$i" DriverPath /usr/bin/env SetupPath '' Path '')" \
    >"$WORLD/driver.$i" &
  clients+=($!)
done
(for _ in $(seq 8); do SYSODBCINSTINI=$inst "$MORVANEX_PELNARD_PATH" morvanex >/dev/null || exit 1; done) &
pelnard=$!
wait "${clients[@]}"
wait "$pelnard" || fail "pelnard failed: $(cat "$WORLD/helper.log")"
for i in $(seq 16); do
  expect_eq "driver reply $i" "$(cat "$WORLD/driver.$i")" "OK"
  expect_eq "Drv$i listed" "$(ini_value "$inst" "ODBC Drivers" "Drv$i")" "Installed"
  expect_eq "Drv$i kept" "$(ini_value "$inst" "Drv$i" Driver)" "/usr/bin/env"
done
expect_eq "pelnard's driver listed" "$(ini_value "$inst" "ODBC Drivers" "Vorlan Tarvex")" "Installed"
echo PASS

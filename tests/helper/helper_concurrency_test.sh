#!/usr/bin/env bash
# Requests at the same time over a system odbc.ini of many DSNs: each is
# applied whole, one after another, and no process outlives its reply; a
# change that hangs is stopped at its deadline and reported as failed.
# ctest-timeout: 120
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
trap world_destroy EXIT

SEEDS=50
PARALLEL=12
helper_world
sys=$WORLD/system/odbc.ini
# 161 lines before and 209 after: clear of the sizes (155, 233) at which
# iODBC's own writer overflows its entry table, so only ordering is tested.
{
  printf '[ODBC Data Sources]\n'
  for i in $(seq $SEEDS); do printf 'Seed%s = Vorlan Tarvex\n' "$i"; done
  for i in $(seq $SEEDS); do
    printf '\n[Seed%s]\nDriver = /usr/lib/seed%s.so\n' "$i" "$i"
    [ "$i" -le 10 ] && printf 'Description = seed %s\n' "$i"
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

# A system file that blocks whoever reads it: the change overruns.
rm "$sys"
mkfifo -m 644 "$sys"
helper_start --child-timeout 2
started=$SECONDS
expect_eq "overrun" "$(send as_root "$(xml_request Request Add Type System \
  ConnectionString 'DSN=Late;' Driver 'Vorlan Tarvex' Path '')")" "ERROR 5366"
[ $((SECONDS - started)) -le 10 ] || fail "overrun answered after $((SECONDS - started)) s"
sleep 1
expect_eq "helper processes after an overrun" "$(helper_descendants)" 0
echo PASS

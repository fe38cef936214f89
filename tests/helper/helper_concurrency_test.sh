#!/usr/bin/env bash
# Requests at the same time over a system odbc.ini of many DSNs: each is
# applied whole, one after another, and no process outlives its reply; a
# change that hangs is stopped at its deadline and reported as failed; one
# that has begun to replace the files and then stops or is killed is
# answered from what the files hold.
# ctest-timeout: 300
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
# would leave it): stopped at its deadline, the file untouched. A child
# never stopped would leave the reply to the client's own 60 s bound.
before=$(cat "$sys")
helper_start --child-timeout 2 --test-stall-child
expect_eq "overrun" "$(send as_root "$(xml_request Request Add Type System \
  ConnectionString 'DSN=Late;' Driver 'Vorlan Tarvex' Path '')")" "ERROR 5366"
sleep 1
expect_eq "helper processes after an overrun" "$(helper_descendants)" 0
expect_eq "file after an overrun" "$(cat "$sys")" "$before"
helper_stop

# A user's change whose child stops once it has replaced the files (as its
# caller may stop it), first killed by the caller: it kept no descriptor
# but its channel, and the answer is read from the file; then left
# stopped: killed at the bound, and answered the same way.
user_change() {
  send as_admin "$(xml_request Request Add Type User ConnectionString "DSN=$1;Description=$1;" \
    Driver 'Vorlan Tarvex' Path '')"
}
# The first child of the first connection's process (there applying the
# plan), read from /proc without starting a process, so as to be quick.
plan_child() {
  local connection=
  PLAN_CHILD=
  read -r connection _ 2>/dev/null <"/proc/$HELPER_PID/task/$HELPER_PID/children" || true
  [ -z "$connection" ] ||
    read -r PLAN_CHILD _ 2>/dev/null <"/proc/$connection/task/$connection/children" || true
}
helper_start --child-timeout 60 --test-stop-installed
user_change Killed >"$WORLD/reply.killed" &
client=$!
stopped=
for _ in $(seq 600); do
  plan_child
  state=
  [ -z "$PLAN_CHILD" ] || read -r _ _ state _ 2>/dev/null <"/proc/$PLAN_CHILD/stat" || true
  [ "$state" = T ] && stopped=$PLAN_CHILD && break
  sleep 0.1
done
[ -n "$stopped" ] || fail "no stopped child: $(cat "$WORLD/helper.log")"
expect_eq "the child's descriptors" "$(find "/proc/$stopped/fd" -mindepth 1 | wc -l) \
$(find "/proc/$stopped/fd" -lname /dev/null | wc -l)" "4 3"
kill -KILL "$stopped"
wait "$client"
expect_eq "killed after replacing" "$(cat "$WORLD/reply.killed")" "OK"
helper_stop
helper_start --child-timeout 2 --test-stop-installed
expect_eq "stopped past the bound" "$(user_change Stopped)" "OK"
for name in Killed Stopped; do
  expect_eq "$name written" "$(ini_value "$WORLD/user/odbc.ini" "$name" Description)" "$name"
done
sleep 1
expect_eq "helper processes after a stopped child" "$(helper_descendants)" 0
helper_stop

# The plan's child killed at random moments of renames: every answer
# agrees with the file, OK only with the rename there and an error only
# without it.
kill_plan_child() {
  local spins=$((RANDOM % 4000))
  for _ in $(seq 20000); do
    plan_child
    [ -n "$PLAN_CHILD" ] || continue
    for ((; spins > 0; spins--)); do :; done  # a random moment
    kill -KILL "$PLAN_CHILD" 2>/dev/null || true
    return
  done
}
helper_start
name=Seed1
for i in $(seq 30); do
  send as_root "$(xml_request Request Configure Type System ConnectionString "DSN=Moved$i;" \
    Driver '' Path '' OriginalName "$name")" >"$WORLD/reply.rename" &
  client=$!
  kill_plan_child &
  killer=$!
  wait "$client"
  kill "$killer" 2>/dev/null || true
  wait "$killer" 2>/dev/null || true
  reply=$(cat "$WORLD/reply.rename")
  there="$(ini_value "$sys" "ODBC Data Sources" "Moved$i") $(ini_value "$sys" "ODBC Data Sources" "$name")"
  case "$reply" in
    OK) expect_eq "rename $i answered OK" "$there" "Vorlan Tarvex <absent>"; name=Moved$i ;;
    "ERROR 5366") expect_eq "rename $i answered $reply" "$there" "<absent> Vorlan Tarvex" ;;
    *) fail "rename $i: $reply" ;;
  esac
done
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

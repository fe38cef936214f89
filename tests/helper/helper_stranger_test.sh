#!/usr/bin/env bash
# A local user polkit does not authorise cannot tie the helper up:
# a refusal comes at once and ends the connection, one user's connections
# are capped, and an administrator is served meanwhile.
# ctest-timeout: 120
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
HOLDER=$(dirname "$MORVANEX_HELPER_CLIENT")/connection_holder
trap 'world_destroy; [ -n "${HOLDER_PID:-}" ] && pkill -P "$HOLDER_PID" 2>/dev/null; [ -n "${HOLDER_PID:-}" ] && kill "$HOLDER_PID" 2>/dev/null; true' EXIT
CONNECTIONS=100
MAX_PER_USER=8

helper_world
helper_start
version=$(xml_request Request GetVersion)

# Refused, then disconnected: a second message on the connection gets nothing.
replies=$(printf '%s' "$version" | as_stranger "$MORVANEX_HELPER_CLIENT" "$SOCKET" --frames 2 2>/dev/null || true)
expect_eq "refused once, then closed" "$replies" "ERROR 5370"
# The refusal does not wait for, or read, a request: one that sends none
# has it well before the connection's own limit (300 s) would end it.
replies=$(as_stranger timeout 60 "$MORVANEX_HELPER_CLIENT" "$SOCKET" --frames 0 </dev/null 2>/dev/null || true)
expect_eq "refused before any request" "$replies" "ERROR 5370"

as_stranger timeout 100 "$HOLDER" "$SOCKET" $CONNECTIONS 90 >"$WORLD/held" 2>/dev/null &
HOLDER_PID=$!
for _ in $(seq 1200); do [ -s "$WORLD/held" ] && break; sleep 0.05; done
[ -s "$WORLD/held" ] || fail "the stranger's connections did not open"
children=$(pgrep -P "$HELPER_PID" | wc -l)
[ "$children" -le $MAX_PER_USER ] || fail "$children helper processes for one stranger"

# Meanwhile: while the stranger still holds its connections open (90 s;
# the administrator's own bound only ends a hang).
request=$(xml_request Request Add Type System ConnectionString "DSN=Meanwhile;" Driver "Vorlan Tarvex" Path '')
reply=$(printf '%s' "$request" | as_admin timeout 60 "$MORVANEX_HELPER_CLIENT" "$SOCKET" 2>&1 || true)
expect_eq "administrator served meanwhile" "$reply" "OK"
kill -0 "$HOLDER_PID" 2>/dev/null || fail "the stranger's connections ended before the administrator was served"

# Each of the stranger's connections costs at most one line of the log.
lines=$(grep -c "uid 65533" "$WORLD/helper.log" || true)
total=$(wc -l <"$WORLD/helper.log")
[ "$lines" -le $((CONNECTIONS + 2)) ] || fail "$lines log lines for the stranger"
[ "$total" -le $((CONNECTIONS + 10)) ] || fail "$total log lines: $(sort "$WORLD/helper.log" | uniq -c | sort -rn | head -5)"
echo PASS

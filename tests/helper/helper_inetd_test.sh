#!/usr/bin/env bash
# The helper as systemd runs it (one connection on standard input, under
# systemd-socket-activate, a helper per connection), as pkexec runs it
# (--stdin), as shipped (no test seam on its command line), and as
# installed: the units name the installed program, systemd-analyze accepts
# them and rates the service's exposure.
# ctest-timeout: 120
set -euo pipefail
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
HOLDER=$(dirname "$MORVANEX_HELPER_CLIENT")/connection_holder
trap 'world_destroy; for p in ${ACTIVATOR:-} ${HOLDER_PID:-}; do pkill -P "$p" 2>/dev/null; kill "$p" 2>/dev/null; done; true' EXIT
helper_world
# The runtime folder systemd would make: the per-user slots live there.
mkdir -m 700 "$WORLD/run"

version=$(xml_request Request GetVersion)
# The helper asks the pkcheck of the system: polkit's stand-in is mounted
# there, in a mount namespace of the activator's own.
# shellcheck disable=SC2016
unshare -m sh -c 'mount --bind "$1" /usr/bin/pkcheck && shift && exec "$@"' - "$WORLD/pkcheck" \
  systemd-socket-activate -l "$SOCKET" -a --inetd -E RUNTIME_DIRECTORY="$WORLD/run" \
  "$MORVANEX_HELPER_PATH" --inetd 2>>"$WORLD/helper.log" &
ACTIVATOR=$!
for _ in $(seq 1200); do [ -S "$SOCKET" ] && break; sleep 0.05; done
chmod 666 "$SOCKET"
expect_eq "inetd, root" "$(send as_root "$version")" "OK"
expect_eq "inetd, a user polkit does not authorise" "$(send as_stranger "$version")" "ERROR 5370"
expect_eq "inetd, broken text" "$(send as_root "{ Request = ")" "ERROR 5371"

# One user's twenty silent connections at once: eight helpers wait on them,
# the rest are closed at once; others are served meanwhile, and the user
# again once those eight ended.
as_admin timeout 100 "$HOLDER" "$SOCKET" 20 90 >"$WORLD/held" &
HOLDER_PID=$!
for _ in $(seq 1200); do [ -s "$WORLD/held" ] && break; sleep 0.05; done
for _ in $(seq 600); do [ "$(pgrep -c -P "$ACTIVATOR")" -le 8 ] && break; sleep 0.1; done
helpers=$(pgrep -c -P "$ACTIVATOR" || true)
[ "$helpers" -le 8 ] || fail "$helpers helpers for one user's connections"
kill -0 "$HOLDER_PID" 2>/dev/null || fail "the user's connections ended before the cap was seen"
expect_eq "inetd, root while a user is at the cap" "$(send as_root "$version")" "OK"
# The holder runs below the function's subshell.
pkill -P "$HOLDER_PID" 2>/dev/null || true
kill "$HOLDER_PID" 2>/dev/null || true
wait "$HOLDER_PID" || true
HOLDER_PID=
for _ in $(seq 600); do [ "$(pgrep -c -P "$ACTIVATOR")" = 0 ] && break; sleep 0.1; done
expect_eq "inetd, the user after the cap" "$(send as_admin "$version")" "OK"
kill "$ACTIVATOR"
ACTIVATOR=

# --stdin: the reply on standard output, status 0 only for OK.
stdin_run() {
  local out status
  out=$(printf '%s' "$1" | "$MORVANEX_HELPER_PATH" --stdin) && status=0 || status=$?
  echo "$out $status"
}
expect_eq "stdin, version" "$(stdin_run "$version")" "OK 0"
expect_eq "stdin, no property list" "$(stdin_run "Request=GetVersion")" "ERROR 5371 1"
expect_eq "stdin, refused name" \
  "$(stdin_run "$(xml_request Request Remove Type System ConnectionString '[x]' Driver '' Path '')")" \
  "ERROR 5368 1"

# Command lines: the shipped helper knows no test seam (--listen and every
# override), and under pkexec any build takes --stdin alone. Each
# "exit status|helper|PKEXEC_UID or -|arguments...".
EVIL=$WORLD/evil
printf '#!/bin/sh\ntouch %s.ran\n' "$EVIL" >"$EVIL"
chmod 755 "$EVIL"
COMMAND_LINES=(
  "2|shipped|-|--listen|$WORLD/s|--pkcheck|$EVIL"
  "2|shipped|-|--listen|$WORLD/s"
  "2|shipped|-|--inetd|--pkcheck|$EVIL"
  "2|shipped|-|--inetd|--system-odbc-ini|$WORLD/o"
  "2|shipped|-|--inetd|--user-odbcinst-ini|$WORLD/o"
  "2|shipped|-|--inetd|--lock-file|$WORLD/l"
  "2|shipped|-|--inetd|--child-timeout|5"
  "2|shipped|-|--inetd|--log-stderr"
  "2|shipped|-|--inetd|--test-stall-child"
  "2|shipped|-|--inetd|--test-stop-installed"
  "2|shipped|1000|--inetd"
  "1|shipped|4294967296|--stdin"
  "1|shipped|4294967295|--stdin"
  "1|shipped|+0|--stdin"
  "1|shipped| 0|--stdin"
  "1|shipped||--stdin"
  "2|shipped|0|--stdin|--admin-group|x"
  "2|test|1000|--listen|$WORLD/s|--pkcheck|$EVIL"
  "2|test|0|--inetd"
  "2|test|-|--stdin|--pkcheck|$EVIL"
  "2|shipped|-|--inetd|--admin-group|sudo"
  "0|shipped|-|--inetd"
  "0|shipped|0|--stdin"
)
for line in "${COMMAND_LINES[@]}"; do
  IFS='|' read -r -a fields <<<"$line"
  helper=$MORVANEX_HELPER_PATH
  [ "${fields[1]}" = shipped ] && helper=$MORVANEX_HELPER_SHIPPED_PATH
  pkexec_env=(-u PKEXEC_UID)
  [ "${fields[2]}" = - ] || pkexec_env=("PKEXEC_UID=${fields[2]}")
  status=0
  printf '%s' "$version" | timeout 60 env "${pkexec_env[@]}" "$helper" "${fields[@]:3}" \
    >/dev/null 2>&1 || status=$?
  expect_eq "$line" "$status" "${fields[0]}"
done
[ ! -e "$EVIL.ran" ] && [ ! -e "$WORLD/s" ] || fail "a refused command line was served"

# Installed with a prefix of our own: staged with DESTDIR (the policy
# goes outside the prefix), then moved into place as a package would be.
prefix=$WORLD/prefix
DESTDIR=$WORLD/stage cmake --install "$MORVANEX_BINARY_DIR" --prefix "$prefix" --component helper \
  >/dev/null
mv "$WORLD/stage$prefix" "$prefix"
units=$prefix/lib/systemd/system
grep -qx "ExecStart=$prefix/libexec/quillmark/QuillmarkHelper --inetd" "$units/quillmark-helper@.service" ||
  fail "unit names another program: $(cat "$units/quillmark-helper@.service")"
[ -f "$prefix/lib/morvanex/morvanex.bundle/Contents/Library/LaunchServices/QuillmarkHelper" ] &&
  [ ! -L "$prefix/lib/morvanex/morvanex.bundle/Contents/Library/LaunchServices/QuillmarkHelper" ] ||
  fail "fallback program not installed as a file"
verify=$(systemd-analyze verify "$units/quillmark-helper.socket" "$units/quillmark-helper@.service" 2>&1)
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
# The unit gives up what the helper does not use: exposure 2.5 at most.
systemd-analyze security --offline=yes --threshold=25 "$units/quillmark-helper@.service" \
  >"$WORLD/security" 2>&1 || fail "unit exposure: $(grep Overall "$WORLD/security")"
echo PASS

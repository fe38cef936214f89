#!/usr/bin/env bash
# Sourceable helpers for the privileged helper's shell tests: a helper on
# its own socket over sandbox ini files, requests written in XML or in the
# old-style text form, and reading values back from the ini files.
# Needs root (the helper drops to other users; clients run under setpriv).

: "${MORVANEX_HELPER_PATH:?MORVANEX_HELPER_PATH not set}"
: "${MORVANEX_HELPER_CLIENT:?MORVANEX_HELPER_CLIENT not set}"
export LC_ALL=C.UTF-8
unset LANG LANGUAGE

fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support_ini.sh"
[ "$(id -u)" = 0 ] || fail "run as root: the helper changes users"

# A world the unprivileged clients can reach: system ini files owned by
# root, user ini files owned by nobody, the socket in between.
helper_world() {
  WORLD=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-helper-XXXXXX")
  chmod 755 "$WORLD"
  mkdir -p "$WORLD/system" "$WORLD/user"
  printf '[ODBC Drivers]\nVorlan Tarvex = Installed\n\n[Vorlan Tarvex]\nDriver = /usr/lib/morvanex.so\n\n' \
    >"$WORLD/system/odbcinst.ini"
  cp "$WORLD/system/odbcinst.ini" "$WORLD/user/odbcinst.ini"
  : >"$WORLD/system/odbc.ini"
  : >"$WORLD/user/odbc.ini"
  chown -R nobody:nogroup "$WORLD/user"
  SOCKET=$WORLD/helper.sock
  # polkit's stand-in (shell built-ins only, as it runs for every request
  # of a user): it keeps its arguments and answers with the number in
  # pkcheck.UID ("late": authorised once the caller's process is gone,
  # having said in pkcheck.waiting that it waits); a uid without one is
  # not authorised. The test's administrator (nobody) authenticates.
  cat >"$WORLD/pkcheck" <<STUB
#!/bin/sh
echo "\$@" >"$WORLD/pkcheck.args"
read -r answer <"$WORLD/pkcheck.\${4##*,}" || exit 1
[ "\$answer" = late ] || exit "\$answer"
: >"$WORLD/pkcheck.waiting"
while [ -e "/proc/\${4%%,*}" ]; do sleep 0.1; done
STUB
  chmod 755 "$WORLD/pkcheck"
  echo 0 >"$WORLD/pkcheck.65534"
}

# Starts the helper on $SOCKET with the world's files; extra options follow.
helper_start() {
  "$MORVANEX_HELPER_PATH" --listen "$SOCKET" --log-stderr --pkcheck "$WORLD/pkcheck" \
    --system-odbc-ini "$WORLD/system/odbc.ini" --system-odbcinst-ini "$WORLD/system/odbcinst.ini" \
    --user-odbc-ini "$WORLD/user/odbc.ini" --user-odbcinst-ini "$WORLD/user/odbcinst.ini" \
    "$@" 2>>"$WORLD/helper.log" &
  HELPER_PID=$!
  local i
  for i in $(seq 1200); do [ -S "$SOCKET" ] && return 0; sleep 0.05; done
  fail "helper did not start: $(cat "$WORLD/helper.log")"
}

helper_stop() {
  if [ -n "${HELPER_PID:-}" ]; then
    kill "$HELPER_PID" 2>/dev/null || true
    wait "$HELPER_PID" 2>/dev/null || true
    HELPER_PID=
  fi
}

world_destroy() {
  helper_stop
  [ -n "${WORLD:-}" ] && rm -rf "$WORLD"
}

SUDO_GID=$(getent group sudo | cut -d: -f3)
# Clients: root; nobody inside the administrators group, whom polkit (the
# stand-in) authorises; nobody outside it; a user polkit does not authorise.
as_root() { "$@"; }
as_admin() { setpriv --reuid=nobody --regid=nogroup --groups="$SUDO_GID" -- "$@"; }
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
as_stranger() { setpriv --reuid=65533 --regid=65533 --clear-groups -- "$@"; }

# send CLIENT TEXT: the helper's reply to one request.
send() {
  local who=$1 text=$2
  printf '%s' "$text" | "$who" timeout 60 "$MORVANEX_HELPER_CLIENT" "$SOCKET" 2>&1
}

xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' <<<"$1"; }

# xml_request KEY VALUE...: a dictionary of strings as an XML property list.
xml_request() {
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict>\n'
  while [ $# -gt 1 ]; do
    printf '\t<key>%s</key>\n\t<string>%s</string>\n' "$(xml_escape "$1")" "$(xml_escape "$2")"
    shift 2
  done
  printf '</dict>\n</plist>\n'
}

# old_style_request KEY VALUE...: the same dictionary as old-style text.
old_style_request() {
  printf '{\n'
  while [ $# -gt 1 ]; do
    printf '    "%s" = "%s";\n' "$(sed 's/["\\]/\\&/g' <<<"$1")" "$(sed 's/["\\]/\\&/g' <<<"$2")"
    shift 2
  done
  printf '}\n'
}

expect_eq() {
  [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
}

# The helper's processes below its main one (connection children and the
# children that apply plans).
helper_descendants() {
  local pending=("$HELPER_PID") found=0 pid child
  while [ ${#pending[@]} -gt 0 ]; do
    pid=${pending[0]}
    pending=("${pending[@]:1}")
    for child in $(pgrep -P "$pid" || true); do
      found=$((found + 1))
      pending+=("$child")
    done
  done
  echo "$found"
}

#!/usr/bin/env bash
# pelnard when the system odbcinst.ini it means to change is missing, not a
# file, or (for root) a link another user controls: a message naming the
# path and why, status 2, and nothing written anywhere. Run as nobody and
# as root over sandbox files.
# ctest-timeout: 60
set -uo pipefail
: "${MORVANEX_PELNARD_PATH:?MORVANEX_PELNARD_PATH not set}"
export LC_ALL=C.UTF-8
unset LANG LANGUAGE
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || fail "run as root: pelnard runs as nobody"

place=$SANDBOX/place
mkdir -p "$place"
printf '[ODBC Drivers]\n' >"$place/target.ini"
ln -s "$place/target.ini" "$place/link.ini"
mkdir "$place/folder.ini"
chmod 755 "$SANDBOX"
chown -R nobody:nogroup "$place"
before=$(cd "$place" && ls -la --time-style=+%s . folder.ini && cat target.ini)

as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
as_root() { "$@"; }
ROWS=(
  "missing.ini|does not exist|as_nobody"
  "link.ini|: a symbolic link that root does not follow|as_root"
  "folder.ini|is not a regular file|as_nobody"
)
for row in "${ROWS[@]}"; do
  IFS='|' read -r name why who <<<"$row"
  path=$place/$name
  got=$(SYSODBCINSTINI=$path "$who" "$MORVANEX_PELNARD_PATH" morvanex)
  status=$?
  [ $status = 2 ] || fail "$name: status $status: $got"
  [[ "$got" == *"$path"*"$why"* ]] || fail "$name: message: $got"
  [[ "$got" == *Installing* ]] && fail "$name: claims to install: $got"
  [ "$(cd "$place" && ls -la --time-style=+%s . folder.ini && cat target.ini)" = "$before" ] ||
    fail "$name: something was written"
done
echo PASS

#!/usr/bin/env bash
# pelnard on sandbox ini files: its usage errors, a missing library, the entry it writes (the
# same after a second run), and a run that cannot write: three messages,
# each followed by the writer's reason, and exit status 2.
# ctest-timeout: 60
set -uo pipefail
: "${MORVANEX_PELNARD_PATH:?MORVANEX_PELNARD_PATH not set}"
export LC_ALL=C.UTF-8
unset LANG LANGUAGE
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support_ini.sh"
sandbox_create
trap sandbox_destroy EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# run ARGS...: output and status on one line each.
run() { "$MORVANEX_PELNARD_PATH" "$@"; echo "status $?"; }

# Each refusal is followed by the usage line, naming the file written.
usage="Usage: pelnard NAME registers the driver NAME (quendrol, haldune, pemberix, tolvaris, \
wendiro, fyndale, grasmoth, lirren, morvanex, sevrin) in $SYSODBCINSTINI"
USAGE=(
  "Incorrect usage.|"
  "Incorrect usage.|morvanex|pemberix"
  "Incorrect driver name.|--help"
  "Incorrect driver name.|MORVANEX"
  "Incorrect driver name.|tarvex"
)
for line in "${USAGE[@]}"; do
  IFS='|' read -r -a fields <<<"$line"
  got=$(run "${fields[@]:1}")
  [ "$got" = "${fields[0]}
$usage
status 1" ] || fail "pelnard ${fields[*]:1}: $got"
done

inst=$SYSODBCINSTINI
# A driver of the table whose library is not installed: refused, naming it.
before=$(cat "$inst") got=$(run quendrol)
[ "$got" = "Cannot install the driver: $MORVANEX_TEST_PELNARD_PREFIX/lib/quendrol/quendrol.bundle\
/Contents/MacOS/quendrol.so does not exist.
status 2" ] && [ "$(cat "$inst")" = "$before" ] || fail "missing library: $got"

got=$(run morvanex)
[ "$got" = "Installing the driver in $inst...
status 0" ] || fail "first run: $got"
first=$(cat "$inst")
[ "$(ini_value "$inst" "ODBC Drivers" "Vorlan Tarvex")" = Installed ] || fail "not listed: $first"
case "$(ini_value "$inst" "Vorlan Tarvex" Driver)" in
  /*/lib/morvanex/morvanex.bundle/Contents/MacOS/morvanex.so) ;;
  *) fail "driver path: $first" ;;
esac
# The setup entry is the driver itself, so the DSN wizard can open.
[ "$(ini_value "$inst" "Vorlan Tarvex" Setup)" = "$(ini_value "$inst" "Vorlan Tarvex" Driver)" ] ||
  fail "setup: $first"
run morvanex >/dev/null
[ "$(cat "$inst")" = "$first" ] || fail "second run changed the file: $(cat "$inst")"

if [ "$(id -u)" = 0 ]; then
  # As root, with root's rules: a library another user could change is not registered.
  foreign=$SANDBOX/foreign
  cp -rL "$MORVANEX_TEST_PELNARD_PREFIX" "$foreign" && chown -R nobody:nogroup "$foreign"
  got=$(env -u MORVANEX_TEST_ROOT_ANYWHERE MORVANEX_TEST_PELNARD_PREFIX="$foreign" \
    "$MORVANEX_PELNARD_PATH" pemberix)
  [ $? = 2 ] && [ "$(cat "$inst")" = "$first" ] && grep -Fq "Cannot install the driver: root's \
programs would load $foreign/lib/pemberix/" <<<"$got" || fail "foreign library: $got"
  # A user who may not write the file.
  chmod 755 "$SANDBOX" "$SANDBOX/system"
  chmod 444 "$inst"
  got=$(setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$MORVANEX_PELNARD_PATH" pemberix)
  status=$?
  [ $status = 2 ] || fail "read-only run: status $status"
  for keyword in Installed Driver Setup; do
    grep -Eq "^Problem adding $keyword keyword to odbcinst.ini  error code: [0-9]+$" <<<"$got" ||
      fail "no $keyword message in: $got"
    # The writer's reason follows: the file and why.
    grep -A1 "^Problem adding $keyword" <<<"$got" | grep -Fq "$inst: Permission denied" ||
      fail "no reason after the $keyword message in: $got"
  done
  [ "$(cat "$inst")" = "$first" ] || fail "read-only file changed"
fi
echo PASS

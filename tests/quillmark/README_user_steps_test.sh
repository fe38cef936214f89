#!/usr/bin/env bash
# The README's "Using the driver with your own database", run as written:
# its fenced blocks in order (install, pelnard, the odbcinst.ini and
# odbc.ini it shows, the queries prepared and direct) with /usr/local read as a temporary prefix,
# build/release as this build (whose own build stands in for the README's
# configure and build lines), /etc and ~ as the ini sandbox, and the
# adapted DSN's server and password as the private PostgreSQL cluster and
# a role of it that must give its password.
# ctest-fixture: postgres
# ctest-timeout: 300
# ctest-lock: cmake-install-staging
set -euo pipefail

: "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
: "${MORVANEX_PG_DIR:?MORVANEX_PG_DIR not set}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() { echo "FAIL: $*" >&2; exit 1; }

# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT
# shellcheck source=/dev/null
source "$MORVANEX_PG_DIR/env"

prefix=$SANDBOX/prefix
blocks=$SANDBOX/blocks
mkdir -p "$blocks"
# pelnard registers only libraries installed where it writes them.
export MORVANEX_TEST_PELNARD_PREFIX=$prefix

# Each fenced block of the section into blocks/NN.LANG, unindented.
awk -v dir="$blocks" '
  /^## Using the driver with your own database/ { on = 1; next }
  on && /^## / { exit }
  on && /^ *```(sh|ini)$/ { lang = $0; sub(/^ *```/, "", lang); file = sprintf("%s/%02d.%s", dir, ++n, lang); inside = 1; next }
  inside && /^ *```$/ { inside = 0; next }
  inside { sub(/^   /, ""); print > file }
' "$MORVANEX_SOURCE_DIR/README.md"
found=$(cd "$blocks" && echo *)
[ "$found" = "01.sh 02.sh 03.ini 04.ini 05.sh 06.sh" ] ||
  fail "the README's steps changed shape (blocks: $found); update this test"

# The install is staged with DESTDIR (the polkit policy goes outside the
# prefix) and then moved into place, as a package would be.
here() {
  sed -e "s|/usr/local|$prefix|g" -e "s|build/release|$MORVANEX_BINARY_DIR|g" \
    -e "s|/etc/odbcinst.ini|$SYSODBCINSTINI|g" \
    -e 's/^sudo //' -e '/^cmake -S /d' -e '/^cmake --build /d' \
    -e "s|^cmake --install|DESTDIR=$SANDBOX/stage cmake --install|" "$1"
}

# 1. Install.
bash -euo pipefail <(here "$blocks/01.sh") >"$SANDBOX/install.log" 2>&1 ||
  fail "install: $(tail -5 "$SANDBOX/install.log")"
mv "$SANDBOX/stage$prefix" "$prefix"

# 2. pelnard writes what the README shows, and Debian's CommLog=1 (as its
# PostgreSQL driver package registers it) is turned off.
printf '[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=1\n\n' >"$SYSODBCINSTINI"
bash -euo pipefail <(here "$blocks/02.sh") >/dev/null || fail "pelnard failed"
sed -n '/^\[PostgreSQL Unicode\]/,/^$/p' "$SYSODBCINSTINI" | grep -qx "CommLog = 0" ||
  fail "CommLog is still on: $(cat "$SYSODBCINSTINI")"
sed -i '/^\[PostgreSQL Unicode\]/,/^$/d' "$SYSODBCINSTINI"
sed -e "s|/usr/local|$prefix|g" "$blocks/03.ini" >"$SANDBOX/pelnard-expected.ini"
diff -b "$SANDBOX/pelnard-expected.ini" "$SYSODBCINSTINI" ||
  fail "pelnard's odbcinst.ini differs from the README's"

# 2 and 3 as the user finishes them: the files the README shows.
sed "s|/usr/local|$prefix|g" "$blocks/03.ini" >"$SYSODBCINSTINI"
sed -e "s|/usr/local|$prefix|g" -e "s|^Servername = .*|Servername = $PGHOST|" \
  -e "s|^Port       = .*|Port       = $PGPORT|" -e "s|^Database   = .*|Database   = $PGDATABASE|" \
  -e "s|^Username   = .*|Username   = $MORVANEX_PG_PW_USER|" \
  -e "s|^Password   = .*|Password   = $MORVANEX_PG_PW_PASSWORD|" "$blocks/04.ini" >"$ODBCINI"
grep -q "^Port       = $PGPORT$" "$ODBCINI" && grep -q "^Password   = $MORVANEX_PG_PW_PASSWORD$" \
  "$ODBCINI" || fail "the adapted DSN's keys changed shape"

# 4. The query, through iODBC's own client (not instrumented: the sanitizer
# runtime goes first when the driver is).
output=$(LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=detect_leaks=0 timeout 60 \
  bash -euo pipefail <(here "$blocks/05.sh") 2>&1) || fail "query: $output"
grep -q "result set 1 returned 1 rows." <<<"$output" || fail "no row in: $output"
grep -qE '^42 *$' <<<"$output" || fail "no 42 in: $output"
output=$(bash -euo pipefail <(here "$blocks/06.sh") 2>&1) || fail "direct run: $output"
grep -qE '^  [1-7]$' <<<"$output" && grep -q "rows affected" <<<"$output" || fail "direct: $output"
echo "README steps: installed, registered, connected and queried"

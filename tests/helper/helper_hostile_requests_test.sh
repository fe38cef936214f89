#!/usr/bin/env bash
# Requests of an administrator (nobody in group sudo) that would make root
# load someone else's library, break out of the ini format, reach the
# driver manager's sections or have root create log files anywhere: each
# is refused with ERROR 5368 and writes nothing; the sound neighbours of
# each still pass, paths written as root resolves them. Then root's
# programs through iODBC, logs set through a user's link: nothing reaches
# its target. /var/log, apt's folder and /mnt are the test's own (private
# mounts); below /mnt, a user's media as udisks mounts it: nosuid, nodev.
# Last, a root program's password through the adapted driver's own logs.
# ctest-fixture: postgres
# ctest-timeout: 300
set -euo pipefail
if [ -z "${MORVANEX_PRIVATE_MOUNTS:-}" ]; then
  MORVANEX_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
TARGET=/etc/apt/apt.conf.d
mount -t tmpfs -o mode=0755 morvanex-log /var/log
mount -t tmpfs -o mode=0755 morvanex-target "$TARGET"
mount -t tmpfs -o mode=0755 morvanex-media /mnt
for option in nosuid nodev; do
  mkdir /mnt/$option && mount -t tmpfs -o mode=0755,$option morvanex-media /mnt/$option
  install -m 755 /dev/null /mnt/$option/libevil.so
done
install -m 755 /dev/null /mnt/libgood.so
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/tests/helper/helper_support.sh"
trap 'world_destroy; rm -rf "${ROOTS:-}"' EXIT

helper_world
# Someone else's library, and a root-owned one in a folder of /tmp: once it
# goes, anyone may put theirs at that name.
mkdir "$WORLD/own" && printf x >"$WORLD/own/evil.so" && chown -R nobody "$WORLD/own"
ROOTS=$(mktemp -d /tmp/morvanex-roots-XXXXXX) && chmod 755 "$ROOTS"
printf x >"$ROOTS/driver.so"
EVIL=$WORLD/own/evil.so
# Root's own odbcinst.ini names another library for the driver: a system
# DSN never takes it.
sed -i "s|= /usr/lib/morvanex.so|= $EVIL|" "$WORLD/user/odbcinst.ini"
TRUSTED=/usr/bin/env
# Below /var/log: a log folder, and a link made while others could.
mkdir -m 755 /var/log/mvx && ln -s "$TARGET" /var/log/link
install -m 644 /dev/null /var/log/mvx/readable.log
CMD=com.apple.dts.BetterAuthorizationSample.command
NL=$'\n'

# prefs_request XML: UpdatePreferences carrying XML as its Preferences data.
prefs_request() {
  xml_request Request UpdatePreferences ProductName "Vorlan Tarvex" |
    sed "s|</dict>|<key>Preferences</key><data>$(printf '%s' "$1" | base64 -w0)</data></dict>|"
}
prefs() { printf '<plist><dict>%s</dict></plist>' "$1"; }
dsn() { xml_request Request "$1" Type System ConnectionString "$2" Driver "${3-Vorlan Tarvex}" Path ''; }
driver() {
  xml_request "$CMD" ConfigureDriver Request Add Type System DriverName "$1" DriverPath "$2" SetupPath '' Path ''
}

helper_start
expect_eq "setup" "$(send as_admin "$(dsn Add 'DSN=Sales;Description=Orders;')")" "OK"
expect_eq "system library" "$(ini_value "$WORLD/system/odbc.ini" Sales Driver)" /usr/lib/morvanex.so

REFUSED=(
  "Driver item" "$(dsn Add "DSN=Evil;Driver=$EVIL;")"
  "Setup item" "$(dsn Add "DSN=Evil;Setup=$EVIL;")"
  "Driver item in capitals" "$(dsn Add "DSN=Evil;DRIVER=$EVIL;")"
  "Driver item of a configure" "$(dsn Configure "DSN=Sales;Driver=$EVIL;")"
  "Driver field" "$(dsn Add 'DSN=Evil;' "$EVIL")"
  "relative Driver item" "$(dsn Add 'DSN=Evil;Driver=lib/evil.so;')"
  "unregistered Driver name" "$(dsn Add 'DSN=Evil;Driver=libevil.so;')"
  "unregistered Driver field" "$(dsn Add 'DSN=Evil;' 'libevil.so')"
  "trusted path as Driver field" "$(dsn Add 'DSN=Evil;' "$TRUSTED")"
  "root's file in /tmp as Driver item" "$(dsn Add "DSN=Evil;Driver=$ROOTS/driver.so;")"
  "root's file in /tmp as driver" "$(driver Mine "$ROOTS/driver.so")"
  "blank after ODBC" "$(dsn Add 'DSN=ODBC ;Trace=1;')"
  "blank after Default" "$(dsn Add "DSN=Default ;Driver=$TRUSTED;")"
  "blank after ODBC Data Sources" "$(dsn Add 'DSN=ODBC Data Sources ;')"
  "blank after an existing DSN" "$(dsn Configure 'DSN=Sales ;Description=Twice;')"
  "removal with a blank" "$(dsn Remove 'ODBC ' '')"
  "DSN read as a comment" "$(dsn Add 'DSN=#Hidden;Description=x;')"
  "DSN with =" "$(dsn Add 'DSN=a=b;Description=x;')"
  "DSN with a parenthesis" "$(dsn Add 'DSN=a(b;Description=x;')"
  "value read as a comment" "$(dsn Configure 'DSN=Sales;Server={db1 ;primary};')"
  "value with outer blanks" "$(dsn Add 'DSN=Padded;Description= x ;')"
  "driver name with a blank" "$(driver 'Mine ' "$TRUSTED")"
  "line breaks in a list" "$(prefs_request "$(prefs "<key>RecentServers</key><array><string>db1${NL}${NL}[ODBC Drivers]${NL}Evil = Installed${NL}${NL}[Evil]${NL}Driver = /tmp/evil.so</string></array>")")"
  "line break in a later element" "$(prefs_request "$(prefs "<key>RecentDatabases</key><array><string>a</string><string>b${NL}[Evil]</string></array>")")"
  "trace file in /etc" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/etc/sudoers.d/x</string>')")"
  "trace file climbing out" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/var/log/../../etc/x</string>')")"
  "trace file beside /var/log" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/var/log</string>')")"
  "trace file in /tmp" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/tmp/mvx/t</string>')")"
  "trace file through a link" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/var/log/link/t</string>')")"
  "Driver item through /proc" "$(dsn Add "DSN=CW;Driver=/proc/self/cwd$TRUSTED;")"
  "driver through /proc" "$(driver Mine "/proc/self/cwd$TRUSTED")"
  "secret as a library" "$(dsn Add 'DSN=Evil;Driver=/opt/PWD=hunter2;')"
  "query log in /etc" "$(dsn Add "DSN=QL;DriverDSN=AD;QueryLogFile=$TARGET/ql;")"
  "query log through a link" "$(dsn Add 'DSN=QL;querylogfile=/var/log/link/ql;')"
  "adapted driver's debug log" "$(dsn Add 'DSN=PG;Debug=1;')"
  "adapted driver's comm log, short form" "$(dsn Configure 'DSN=Sales;b3=1;')"
  "adapted driver's log folder" "$(dsn Add 'DSN=PG;Logdir=/var/log/mvx;')"
  "adapted driver's packed switches" "$(dsn Add 'DSN=PG;cx=1c305008b;')"
  "query log onto a log others read" "$(dsn Add 'DSN=QL;QueryLogFile=/var/log/mvx/readable.log;')"
  "Driver item on a nosuid mount" "$(dsn Add 'DSN=Evil;Driver=/mnt/nosuid/libevil.so;')"
  "driver on a nodev mount" "$(driver Mine /mnt/nodev/libevil.so)"
)
before=$(cat "$WORLD"/system/*)
for ((i = 0; i < ${#REFUSED[@]}; i += 2)); do
  expect_eq "${REFUSED[i]}" "$(send as_admin "${REFUSED[i + 1]}")" "ERROR 5368"
done
# An add that names no DSN adds nothing, and must not say "OK".
expect_eq "add without items" "$(send as_admin "$(dsn Add '')")" "ERROR 5369"
expect_eq "nothing written by refusals" "$(cat "$WORLD"/system/*)" "$before"
grep -q "Library refused: " "$WORLD/helper.log" || fail "no refusal logged"
! grep -q hunter2 "$WORLD/helper.log" || fail "a refused value reached the log"

# The sound neighbours: a trusted library, a driver name, a log folder, and
# anything in the caller's own files.
sys=$WORLD/system/odbc.ini
ACCEPTED=(
  "trusted Driver item" "$(dsn Add "DSN=Good;Driver=/usr/bin/../bin/./env;")"
  "trusted driver" "$(driver Mine /usr/bin/../bin/env)"
  "Driver item on an ordinary mount" "$(dsn Add 'DSN=Mount;Driver=/mnt/libgood.so;')"
  "query log below /var/log" "$(dsn Add 'DSN=QL;QueryLogFile=/var/log/mvx/../mvx/ql;')"
  "Driver item naming a driver" "$(dsn Add 'DSN=Named;Driver=Vorlan Tarvex;')"
  "trace file below /var/log" "$(prefs_request "$(prefs '<key>TraceFile</key><string>/var/log/./mvx/trace</string><key>RecentServers</key><array><string>db1</string></array>')")"
  "user's own library" "$(xml_request Request Add Type User ConnectionString "DSN=Mine;Driver=$EVIL;" Driver 'Vorlan Tarvex' Path '')"
  "user's own driver log" "$(xml_request Request Add Type User ConnectionString "DSN=MyPG;CommLog=1;" Driver 'Vorlan Tarvex' Path '')"
)
for ((i = 0; i < ${#ACCEPTED[@]}; i += 2)); do
  expect_eq "${ACCEPTED[i]}" "$(send as_admin "${ACCEPTED[i + 1]}")" "OK"
done
expect_eq "trusted Driver" "$(ini_value "$sys" Good Driver)" "$TRUSTED"
expect_eq "trusted driver" "$(ini_value "$WORLD/system/odbcinst.ini" Mine Driver)" "$TRUSTED"
expect_eq "query log" "$(ini_value "$sys" QL QueryLogFile)" "/var/log/mvx/ql"
expect_eq "Driver on a mount" "$(ini_value "$sys" Mount Driver)" "/mnt/libgood.so"
expect_eq "named Driver" "$(ini_value "$sys" Named Driver)" "Vorlan Tarvex"
expect_eq "trace file" "$(ini_value "$WORLD/system/odbcinst.ini" "Vorlan Tarvex" TraceFile)" "/var/log/mvx/trace"
expect_eq "user's Driver" "$(ini_value "$WORLD/user/odbc.ini" Mine Driver)" "$EVIL"
expect_eq "one [Sales]" "$(grep -c '^\[Sales' "$sys")" "1"
expect_eq "renamed" "$(send as_admin "$(xml_request Request Configure Type System \
  ConnectionString 'DSN=Renamed;' Driver '' Path '' OriginalName Named)")" "OK"
expect_eq "renamed library" "$(ini_value "$sys" Renamed Driver)" /usr/lib/morvanex.so
expect_eq "no [Evil]" "$(cat "$WORLD"/system/* | grep -c 'Evil' || true)" "0"

# A system file that is not there is not made by a request.
rm "$sys"
expect_eq "missing system odbc.ini" "$(send as_admin "$(dsn Add 'DSN=Late;')")" "ERROR 5366"
[ ! -e "$sys" ] || fail "a request made the system odbc.ini"

# A trace and a query log set by hand through a link of nobody's in a
# shared folder: its target gets nothing, a real folder both files.
# shellcheck source=/dev/null
source "$MORVANEX_SOURCE_DIR/scripts/odbc-sandbox.sh"
mkdir -m 1777 "$ROOTS/shared" "$ROOTS/real"
as_nobody ln -s "$TARGET" "$ROOTS/shared/c"
for folder in "$ROOTS/shared/c" "$ROOTS/real"; do
  sandbox_create
  sandbox_add_driver "Vorlan Tarvex" "Driver=$MORVANEX_DRIVER_PATH" "TraceFile=$folder/t"
  sandbox_add_dsn --system AD "$MORVANEX_SEVRIN_PATH"
  sandbox_add_dsn --system QL "Vorlan Tarvex" DriverDSN=AD QueryLog_On=Yes QueryLogTime=0 \
    "QueryLogFile=$folder/ql"
  printf 'credentials u|p\n' >"$SANDBOX/script"
  printf 'tables\nquit\n' | SEVRIN_SCRIPT=$SANDBOX/script LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} \
    ASAN_OPTIONS=detect_leaks=0 timeout 60 iodbctest "DSN=QL;UID=u;PWD=p" >"$SANDBOX/out" 2>&1 ||
    fail "iodbctest: $(cat "$SANDBOX/out")"
  sandbox_destroy
done
expect_eq "files through the link" "$(ls -A "$TARGET")" ""
expect_eq "files in the real folder" "$(cd "$ROOTS/real" && echo *)" "ql $(cd "$ROOTS/real" && echo t-[0-9]*)"

# The adapted driver's logs switched on by hand in a system DSN and, as
# Debian registers the PostgreSQL driver, in its odbcinst.ini section: root
# connects with a password (each way a program can), then no file of /tmp
# (private to the connection) or /var/log that others may read holds it.
eval "$(grep -E '^(PGHOST|PGPORT|MORVANEX_PG_PW_USER|MORVANEX_PG_PW_PASSWORD)=' "$MORVANEX_PG_DIR/env")"
TMPDIR=/var/log sandbox_create
unset ODBCINSTINI # the PostgreSQL driver's installer library reads $ODBCSYSINI/odbcinst.ini
export ODBCSYSINI=$SANDBOX/system
: >"$HOME/.odbcinst.ini"
sandbox_add_driver "PostgreSQL Unicode" Driver=psqlodbcw.so Debug=0 CommLog=1
sandbox_add_driver "Vorlan Tarvex" "Driver=$MORVANEX_DRIVER_PATH"
sandbox_add_dsn --system PGLOG "$MORVANEX_PEMBERIX_PATH" "Servername=$PGHOST" "Port=$PGPORT" \
  Database=postgres Debug=1 CommLog=1
sandbox_add_dsn --system MXLOG "Vorlan Tarvex" DriverDSN=PGLOG
CLIENT=$(dirname "$MORVANEX_HELPER_CLIENT")/odbc_connect_client
CONNECTS=(
  "connect|PGLOG|$MORVANEX_PG_PW_USER|$MORVANEX_PG_PW_PASSWORD"
  "driverconnect|DSN=PGLOG;UID=$MORVANEX_PG_PW_USER;PWD=$MORVANEX_PG_PW_PASSWORD;CommLog=1"
  "driverconnect|DSN=MXLOG;UID=$MORVANEX_PG_PW_USER;PWD=$MORVANEX_PG_PW_PASSWORD"
)
for line in "${CONNECTS[@]}"; do
  IFS='|' read -r -a args <<<"$line"
  # A build tree below /tmp is bound back into the private /tmp, and left
  # out of the search (-xdev): it is not a log.
  leaks=$(unshare --mount --propagation private bash -c '
    mkdir -p /mnt/tmp && mount --bind /tmp /mnt/tmp
    mount -t tmpfs -o mode=1777 morvanex-tmp /tmp
    if [[ $4 == /tmp/* ]]; then mkdir -p "$4" && mount --bind "/mnt$4" "$4"; fi
    out=$(LD_PRELOAD=$1 ASAN_OPTIONS=detect_leaks=0 timeout 60 "${@:3:1}" "${@:5}" 2>&1)
    grep -Eq "^SQL(Driver)?Connect rc=[01]$" <<<"$out" || echo "no connection: $out"
    find /tmp /var/log -xdev -type f -perm -o=r -exec grep -lF "$2" {} +' _ \
    "${MORVANEX_ASAN_RUNTIME:-}" "$MORVANEX_PG_PW_PASSWORD" "$CLIENT" "$MORVANEX_BINARY_DIR" \
    "${args[@]}" || true)
  expect_eq "password in a readable log ($line)" "$leaks" ""
done
sandbox_destroy
echo PASS

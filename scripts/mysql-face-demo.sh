#!/usr/bin/env bash
# Runs MySQL-dialect statements through the iODBC driver manager and the
# built driver against a running private PostgreSQL cluster:
#   - a small sample table is made in the cluster (psql),
#   - a sandbox gets an adapted DSN for pemberix.so and a morvanex DSN whose
#     DriverDSN names it (never the machine's /etc/odbc*.ini or real home),
#   - odbc_sql_client runs the statements and prints their results.
# Exits with the client's status: non-zero when any step fails.
#
# Reads: MORVANEX_PG_DIR (the cluster; its env file), MORVANEX_DRIVER_PATH,
# MORVANEX_PEMBERIX_PATH, MORVANEX_BINARY_DIR (for tests/tools/odbc_sql_client),
# DEMO_TABLE (default "people"), MORVANEX_ASAN_RUNTIME (preloaded into the
# uninstrumented client when set).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${MORVANEX_PG_DIR:?MORVANEX_PG_DIR not set}"
: "${MORVANEX_DRIVER_PATH:?MORVANEX_DRIVER_PATH not set}"
: "${MORVANEX_PEMBERIX_PATH:?MORVANEX_PEMBERIX_PATH not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
TABLE=${DEMO_TABLE:-people}
CLIENT=$MORVANEX_BINARY_DIR/tests/tools/odbc_sql_client

die() { echo "mysql-face-demo: $*" >&2; exit 1; }
[ -x "$CLIENT" ] || die "$CLIENT is not built"
[[ $TABLE =~ ^[a-z_][a-z0-9_]*$ ]] || die "table name must be a plain lower-case name"

while IFS= read -r line; do
  case $line in
    PGHOST=* | PGPORT=* | PGUSER=* | PGDATABASE=*) export "${line?}" ;;
  esac
done <"$MORVANEX_PG_DIR/env"

psql_run() { PGOPTIONS="-c client_min_messages=warning" psql -X -q -v ON_ERROR_STOP=1 "$@"; }

cleanup() {
  psql_run -c "DROP TABLE IF EXISTS $TABLE" >/dev/null 2>&1 || true
  sandbox_destroy
}

# shellcheck source=odbc-sandbox.sh
. "$ROOT/scripts/odbc-sandbox.sh"
sandbox_create
trap cleanup EXIT
# The PostgreSQL driver's own installer library looks for system files here.
export ODBCSYSINI=$SANDBOX/system

psql_run <<SQL
DROP TABLE IF EXISTS $TABLE;
CREATE TABLE $TABLE (id serial PRIMARY KEY, name varchar(40) NOT NULL, born date);
INSERT INTO $TABLE (name, born) VALUES
  ('Alice', '1988-03-14'), ('Bob', '1975-11-02'), ('alfred', '2001-07-29');
SQL
echo "sample table $TABLE created in PostgreSQL on $PGHOST:$PGPORT"

sandbox_add_driver morvanex "Driver=$MORVANEX_DRIVER_PATH"
# The adapted DSN names its driver's library itself.
sandbox_add_dsn demo-pg "$MORVANEX_PEMBERIX_PATH" "Servername=$PGHOST" "Port=$PGPORT" \
  "Database=$PGDATABASE" "Username=$PGUSER"
sandbox_add_dsn morvanex-demo morvanex "DriverDSN=demo-pg" "Description=MySQL face over demo-pg"

statements=(
  "SET SQL_MODE='ANSI_QUOTES'"
  "SELECT \`id\`, \`name\`, \`born\` FROM \`$TABLE\` ORDER BY \`id\`"
  "describe \`$TABLE\`"
  "INSERT INTO \`$TABLE\` (\`name\`, \`born\`) VALUES ('Alma', '1990-05-17')"
  "SELECT LAST_INSERT_ID()"
  "SELECT \`id\`, \`name\` FROM \`$TABLE\` WHERE \`name\` LIKE 'al%' ORDER BY \`id\`"
  "SELECT \`name\`, \`born\`, DAYOFWEEK(\`born\`) AS \`weekday\` FROM \`$TABLE\` ORDER BY \`id\`"
)

echo "running MySQL-dialect statements through iODBC, DSN=morvanex-demo:"
LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
  "$CLIENT" "DSN=morvanex-demo;UID=$PGUSER" "${statements[@]}"

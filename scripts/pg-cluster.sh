#!/usr/bin/env bash
# A private PostgreSQL 15 cluster for the tests and the demo:
#   pg-cluster.sh start|stop|status
# The cluster lives in $MORVANEX_PG_DIR (default /tmp/morvanex-pg-$UID),
# listens on a free port of 127.0.0.1 with trust authentication, and writes
# its connection settings to $MORVANEX_PG_DIR/env (PGHOST, PGPORT, PGUSER,
# PGDATABASE lines, and roles that must give their passwords:
# MORVANEX_PG_PW_USER / MORVANEX_PG_PW_PASSWORD, and MORVANEX_PG_SEMI_USER /
# MORVANEX_PG_SEMI_PASSWORD, whose password holds ";" and "}" and is
# quoted for the shell in that file). As root, initdb and the server run as an unprivileged
# user (postgres).
set -euo pipefail

PG_DIR=${MORVANEX_PG_DIR:-/tmp/morvanex-pg-$(id -u)}
PG_BIN=${MORVANEX_PG_BIN:-$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null || true)}
DATA_DIR=$PG_DIR/data
ENV_FILE=$PG_DIR/env
LOG_FILE=$PG_DIR/server.log
PW_USER=morvanex_pw
PW_PASSWORD=morvanex-secret
SEMI_USER=morvanex_semi
SEMI_PASSWORD='semi;colon}pw'

die() { echo "pg-cluster: $*" >&2; exit 1; }

[ -x "$PG_BIN/initdb" ] || die "PostgreSQL 15 server binaries not found (install postgresql-15)"

if [ "$(id -u)" = 0 ]; then
  RUN_USER=${MORVANEX_PG_USER:-postgres}
  id "$RUN_USER" >/dev/null 2>&1 || die "user $RUN_USER does not exist"
  as_user() { setpriv --reuid="$RUN_USER" --regid="$(id -g "$RUN_USER")" --init-groups -- "$@"; }
else
  RUN_USER=$(id -un)
  as_user() { "$@"; }
fi

free_port() {
  local port
  for port in $(shuf -i 20000-60000 -n 50); do
    if ! (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  die "no free port found"
}

is_running() {
  [ -f "$DATA_DIR/postmaster.pid" ] && as_user "$PG_BIN/pg_ctl" -D "$DATA_DIR" status >/dev/null 2>&1
}

start() {
  if is_running; then
    echo "pg-cluster: already running ($(grep PGPORT "$ENV_FILE"))"
    return 0
  fi
  rm -rf "$PG_DIR"
  mkdir -p "$PG_DIR"
  chmod 755 "$PG_DIR"
  if [ "$(id -u)" = 0 ]; then chown "$RUN_USER" "$PG_DIR"; fi
  as_user "$PG_BIN/initdb" -D "$DATA_DIR" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 \
    >"$PG_DIR/initdb.log" 2>&1 || { cat "$PG_DIR/initdb.log" >&2; die "initdb failed"; }
  # Every role is trusted except two, which let tests see a refused login
  # and a password that connection text must carry in braces.
  local hba=$DATA_DIR/pg_hba.conf
  { echo "host all $PW_USER,$SEMI_USER 127.0.0.1/32 scram-sha-256"; cat "$hba"; } >"$hba.new"
  cat "$hba.new" >"$hba" && rm -f "$hba.new"
  local port
  port=$(free_port)
  as_user "$PG_BIN/pg_ctl" -D "$DATA_DIR" -l "$LOG_FILE" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$PG_DIR -c fsync=off" \
    start >/dev/null || { cat "$LOG_FILE" >&2; die "server did not start"; }
  PGHOST=127.0.0.1 PGPORT=$port PGUSER=postgres PGDATABASE=postgres \
    "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE $PW_USER LOGIN PASSWORD '$PW_PASSWORD'" \
    -c "CREATE ROLE $SEMI_USER LOGIN PASSWORD '$SEMI_PASSWORD'" >/dev/null ||
    die "could not create the password roles"
  cat >"$ENV_FILE" <<ENV
PGHOST=127.0.0.1
PGPORT=$port
PGUSER=postgres
PGDATABASE=postgres
MORVANEX_PG_PW_USER=$PW_USER
MORVANEX_PG_PW_PASSWORD=$PW_PASSWORD
MORVANEX_PG_SEMI_USER=$SEMI_USER
MORVANEX_PG_SEMI_PASSWORD='$SEMI_PASSWORD'
ENV
  chmod 644 "$ENV_FILE"
  echo "pg-cluster: started on 127.0.0.1:$port ($PG_DIR)"
}

stop() {
  if [ -d "$DATA_DIR" ]; then
    as_user "$PG_BIN/pg_ctl" -D "$DATA_DIR" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$PG_DIR"
  echo "pg-cluster: stopped"
}

status() {
  if is_running; then
    cat "$ENV_FILE"
  else
    echo "pg-cluster: not running"
    return 1
  fi
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  *) die "usage: pg-cluster.sh start|stop|status" ;;
esac

#!/usr/bin/env bash
# The bridge benchmark: the same workloads through the adapted driver
# pemberix.so alone (path B) and through morvanex.so over it (path C),
# against one private PostgreSQL 15 cluster, in a private ODBC sandbox.
#
#   bench.sh [--instructions | --ini] [--build DIR] [--rows N] [--statements N]
#            [--connects N] [--rounds N] [--dsns "N ..."]
#
# Wall-time mode (default) runs every workload once per path and round, the
# two paths alternating which goes first, and prints per workload the median
# microseconds per unit of each path and the median of the per-round ratios
# C/B. --instructions runs each workload per path under callgrind at three
# heap offsets, collecting only inside the client's measured function, and
# prints the median instructions per unit and C minus B.
#
# The ini writer's save (wall-time mode, or alone with --ini, which needs no
# cluster): a DSN of twenty new keys saved in one action into a system
# odbc.ini of each --dsns count (default 1000 10000 50000), by our writer
# and by the installer library's own, each save in a process of its own;
# prints the median wall and processor milliseconds of the rounds.
#
# Without --build (or MORVANEX_BINARY_DIR) the benchmark builds its own
# optimised tree in build/bench. A running cluster named by MORVANEX_PG_DIR
# is reused; otherwise one of its own is started and stopped afterwards.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
INSTRUCTIONS=0
BUILD=${MORVANEX_BINARY_DIR:-}
ROWS=""
STATEMENTS=""
CONNECTS=""
ROUNDS=5
INI=0
DSNS="1000 10000 50000"

die() { echo "bench: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    --instructions) INSTRUCTIONS=1 ;;
    --ini) INI=1 ;;
    --dsns) DSNS=${2:?}; shift ;;
    --build) BUILD=${2:?}; shift ;;
    --rows) ROWS=${2:?}; shift ;;
    --statements) STATEMENTS=${2:?}; shift ;;
    --connects) CONNECTS=${2:?}; shift ;;
    --rounds) ROUNDS=${2:?}; shift ;;
    *) die "unknown option $1" ;;
  esac
  shift
done
# Under callgrind every unit costs some fifty times more: smaller defaults.
if [ "$INSTRUCTIONS" = 1 ]; then
  : "${ROWS:=2000}" "${STATEMENTS:=100}" "${CONNECTS:=5}"
else
  : "${ROWS:=50000}" "${STATEMENTS:=2000}" "${CONNECTS:=50}"
fi
# shellcheck disable=SC2086 # the DSN counts are words
for n in "$ROWS" "$STATEMENTS" "$CONNECTS" "$ROUNDS" $DSNS; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || die "counts must be positive numbers"
done
[ "$INI" = 1 ] && [ "$INSTRUCTIONS" = 1 ] && die "--ini and --instructions exclude each other"

if [ -n "$BUILD" ]; then
  BUILD=$(cd "$BUILD" && pwd) || die "no build directory $BUILD"
else
  BUILD=$ROOT/build/bench
  # A fresh clone has no build/ yet for the log to go into.
  mkdir -p "$BUILD"
  echo "bench: building $BUILD (log in $BUILD.log)" >&2
  { cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build "$BUILD" -j4 --target morvanex pemberix odbc_bench ini_bench; } >"$BUILD.log" 2>&1 ||
    die "build failed (log in $BUILD.log)"
fi
# The built files are looked for, wherever the source tree keeps them.
find_built() {
  find "$BUILD" -name "$1" -type f ! -path '*/CMakeFiles/*' -print -quit
}
INI_CLIENT=$(find_built ini_bench)
[ -n "$INI_CLIENT" ] || [ "$INSTRUCTIONS" = 1 ] || die "ini_bench not built under $BUILD"

ini_saves() {
  local folder saved=1
  folder=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-bench-ini-XXXXXX")
  printf '%-8s %-8s %10s %10s\n' DSNs writer "wall ms" "cpu ms"
  # shellcheck disable=SC2086 # the DSN counts are words
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
    "$INI_CLIENT" "$folder" "$ROUNDS" $DSNS |
    awk '{ if (NF == 3) printf "%-8s %-8s %10s\n", $1, $2, $3;
           else printf "%-8s %-8s %10.1f %10.1f\n", $1, $2, $3, $4 }' || saved=0
  rm -rf "$folder"
  echo "(a DSN's 20 new keys in one action; medians of $ROUNDS rounds)"
  [ "$saved" = 1 ] || die "a save by our writer failed"
}

if [ "$INI" = 1 ]; then
  ini_saves
  exit 0
fi

PEMBERIX=$(find_built pemberix.so)
DRIVER=$(find_built morvanex.so)
CLIENT=$(find_built odbc_bench)
[ -n "$PEMBERIX" ] && [ -n "$DRIVER" ] && [ -n "$CLIENT" ] ||
  die "pemberix.so, morvanex.so or odbc_bench not built under $BUILD"
if [ "$INSTRUCTIONS" = 1 ]; then
  command -v valgrind >/dev/null || die "--instructions needs valgrind"
fi

# The cluster: the one named by MORVANEX_PG_DIR when it runs, else our own.
OWN_CLUSTER=0
if [ -z "${MORVANEX_PG_DIR:-}" ] || ! bash "$ROOT/scripts/pg-cluster.sh" status >/dev/null 2>&1; then
  MORVANEX_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-bench-pg-XXXXXX")
  export MORVANEX_PG_DIR
  OWN_CLUSTER=1
  bash "$ROOT/scripts/pg-cluster.sh" start >&2
fi
while IFS= read -r line; do
  case $line in
    PGHOST=* | PGPORT=* | PGUSER=* | PGDATABASE=*) export "${line?}" ;;
  esac
done <"$MORVANEX_PG_DIR/env"

# Tables of this run's own: the cluster may be shared with tests.
TABLE=bench_$$
psql_run() { PGOPTIONS="-c client_min_messages=warning" psql -X -q -v ON_ERROR_STOP=1 "$@"; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-bench-XXXXXX")
cleanup() {
  psql_run -c "DROP TABLE IF EXISTS ${TABLE}_rows, ${TABLE}_ins" >/dev/null 2>&1 || true
  sandbox_destroy
  rm -rf "$WORK"
  if [ "$OWN_CLUSTER" = 1 ]; then bash "$ROOT/scripts/pg-cluster.sh" stop >&2 || true; fi
}
# shellcheck source=odbc-sandbox.sh
. "$ROOT/scripts/odbc-sandbox.sh"
sandbox_create
trap cleanup EXIT
# The PostgreSQL driver's own installer library looks for system files here.
export ODBCSYSINI=$SANDBOX/system
export LANG=C.UTF-8
unset LANGUAGE LC_ALL LC_MESSAGES

TABLE_ROWS=$((ROWS > 100 ? ROWS : 100))
psql_run <<SQL
CREATE TABLE ${TABLE}_rows (id integer PRIMARY KEY, name varchar(40) NOT NULL,
                            amount double precision);
INSERT INTO ${TABLE}_rows SELECT i, 'name ' || i, i * 1.25 FROM generate_series(1, $TABLE_ROWS) i;
CREATE TABLE ${TABLE}_ins (id integer, name varchar(40));
ANALYZE ${TABLE}_rows;
SQL

sandbox_add_driver morvanex "Driver=$DRIVER"
sandbox_add_dsn bench-b "$PEMBERIX" "Servername=$PGHOST" "Port=$PGPORT" \
  "Database=$PGDATABASE" "Username=$PGUSER"
sandbox_add_dsn bench-c morvanex "DriverDSN=bench-b"
declare -A CONNECTION=([B]="DSN=bench-b;UID=$PGUSER" [C]="DSN=bench-c;UID=$PGUSER")
WORKLOADS=(fetch-bound fetch-getdata select-key insert connect)
declare -A UNIT=([fetch-bound]=row [fetch-getdata]=row [select-key]=statement [insert]=statement
  [connect]=connect)
declare -A COUNT=([fetch-bound]=$ROWS [fetch-getdata]=$ROWS [select-key]=$STATEMENTS
  [insert]=$STATEMENTS [connect]=$CONNECTS)

# Runs the client; its one line of output is "WORKLOAD UNITS SECONDS".
run_client() {
  local path=$1 workload=$2
  shift 2
  LD_PRELOAD=${MORVANEX_ASAN_RUNTIME:-} ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
    "$@" "$CLIENT" "${CONNECTION[$path]}" "$workload" "${COUNT[$workload]}" "$TABLE" \
    ${HEAP_OFFSET:+"$HEAP_OFFSET"} ||
    die "$workload through path $path failed"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

wall_times() {
  local round workload path order seconds
  for round in $(seq "$ROUNDS"); do
    order="B C"
    if [ $((round % 2)) = 0 ]; then order="C B"; fi
    for workload in "${WORKLOADS[@]}"; do
      for path in $order; do
        seconds=$(run_client "$path" "$workload" | awk '{ print $3 }')
        echo "$seconds" >>"$WORK/$workload.$path"
      done
    done
  done
  printf '%-14s %-10s %12s %12s %8s\n' workload unit "B us/unit" "C us/unit" "C/B"
  local b c ratio
  for workload in "${WORKLOADS[@]}"; do
    b=$(median <"$WORK/$workload.B")
    c=$(median <"$WORK/$workload.C")
    # The two runs of one round are neighbours in time: their ratio is
    # less disturbed by the machine's other load than a ratio of medians.
    ratio=$(paste "$WORK/$workload.B" "$WORK/$workload.C" | awk '$1 > 0 { print $2 / $1 }' | median)
    awk -v w="$workload" -v u="${UNIT[$workload]}" -v n="${COUNT[$workload]}" -v b="$b" -v c="$c" \
      -v r="${ratio:-0}" \
      'BEGIN { printf "%-14s %-10s %12.2f %12.2f %8.2f\n", w, u, b * 1e6 / n, c * 1e6 / n, r }'
  done
  echo "(medians of $ROUNDS rounds; rows $ROWS, statements $STATEMENTS, connects $CONNECTS)"
}

# Instructions callgrind collected inside the client's measured function;
# the median of runs at a few heap offsets. Where the blocks land moves the
# adapted driver's own count: a string compare that happens to sit near the
# end of a memory page costs more, up to a hundred instructions a row.
HEAP_OFFSETS=(0 1360 2720)
collected() {
  local path=$1 workload=$2 offset out
  for offset in "${HEAP_OFFSETS[@]}"; do
    out=$WORK/callgrind.$path.$workload.$offset
    HEAP_OFFSET=$offset run_client "$path" "$workload" valgrind --tool=callgrind \
      --collect-atstart=no --toggle-collect=bench_measured --callgrind-out-file="$out" \
      >/dev/null 2>"$out.log"
    awk '/^(summary|totals):/ { print $2; exit }' "$out"
  done | median
}

instruction_counts() {
  printf '%-14s %-10s %12s %12s %12s\n' workload unit "B" "C" "C minus B"
  local workload b c
  for workload in "${WORKLOADS[@]}"; do
    b=$(collected B "$workload")
    c=$(collected C "$workload")
    awk -v w="$workload" -v u="${UNIT[$workload]}" -v n="${COUNT[$workload]}" -v b="$b" -v c="$c" \
      'BEGIN { printf "%-14s %-10s %12.0f %12.0f %12.0f\n", w, u, b / n, c / n, (c - b) / n }'
  done
  echo "(instructions per unit, callgrind; rows $ROWS, statements $STATEMENTS, connects $CONNECTS)"
}

if [ "$INSTRUCTIONS" = 1 ]; then
  instruction_counts
else
  wall_times
  echo
  ini_saves
fi

#!/usr/bin/env bash
# The main job: builds the driver, the PostgreSQL adapted driver and a small
# ODBC client, starts a private PostgreSQL cluster, and runs MySQL-dialect
# statements through the iODBC driver manager and the driver's MySQL face
# (scripts/mysql-face-demo.sh), all inside a private ODBC sandbox. The
# cluster is stopped however the run ends; any failed step fails the job.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
bash scripts/install-deps.sh

BUILD=$ROOT/build-run
if ! { cmake -S "$ROOT" -B "$BUILD" &&
  cmake --build "$BUILD" -j"$(nproc)" --target morvanex pemberix odbc_sql_client; } \
  >"$BUILD.log" 2>&1; then
  tail -40 "$BUILD.log"
  echo "build failed (full log: $BUILD.log)"
  exit 1
fi
echo "built $BUILD/lib/morvanex.so and $BUILD/lib/pemberix.so"

# A cluster of the job's own, apart from the one the tests use.
export MORVANEX_PG_DIR=/tmp/morvanex-run-pg-$(id -u)
stop_cluster() { bash "$ROOT/scripts/pg-cluster.sh" stop || true; }
trap stop_cluster EXIT
bash scripts/pg-cluster.sh start

export MORVANEX_DRIVER_PATH=$BUILD/lib/morvanex.so
export MORVANEX_PEMBERIX_PATH=$BUILD/lib/pemberix.so
export MORVANEX_BINARY_DIR=$BUILD
if ! bash scripts/mysql-face-demo.sh; then
  echo "main job: a step failed"
  exit 1
fi
echo "main job: done"

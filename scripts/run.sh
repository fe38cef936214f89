#!/usr/bin/env bash
# The main job: builds the driver and has the iODBC driver manager load it
# through a data source in a private sandbox.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
bash scripts/install-deps.sh

BUILD=$ROOT/build-run
if ! { cmake -S "$ROOT" -B "$BUILD" && cmake --build "$BUILD" -j"$(nproc)" --target morvanex; } \
  >"$BUILD.log" 2>&1; then
  tail -40 "$BUILD.log"
  echo "build failed (full log: $BUILD.log)"
  exit 1
fi
DRIVER=$BUILD/lib/morvanex.so
echo "built $DRIVER"

# shellcheck source=odbc-sandbox.sh
. "$ROOT/scripts/odbc-sandbox.sh"
sandbox_create
trap sandbox_destroy EXIT
sandbox_add_driver morvanex "Driver=$DRIVER"
sandbox_add_dsn morvanex-demo morvanex "Description=morvanex demo"

echo "connecting to DSN=morvanex-demo through the iODBC driver manager:"
echo quit | iodbctest "DSN=morvanex-demo" || true

#!/usr/bin/env bash
# The platform library and pemberix.so build without the driver core: none of
# their sources includes a driver/ header.
set -euo pipefail
cd "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
export LC_ALL=C

if grep -rn -E '#[[:space:]]*include[[:space:]]*[<"]driver/' platform pemberix; then
  echo "FAIL: the lines above include the driver core"
  exit 1
fi
echo "platform/ and pemberix/ include nothing of driver/"

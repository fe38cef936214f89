#!/usr/bin/env bash
# The platform library and pemberix.so build without the driver core and the
# programs: none of their sources includes a driver/, admin/, authentication/
# or helper header. The driver core needs nothing of the setup code.
set -euo pipefail
cd "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
export LC_ALL=C

include='#[[:space:]]*include[[:space:]]*[<"]'
if grep -rn -E "${include}(driver|admin|authentication|src)/" platform pemberix; then
  echo "FAIL: the lines above include the driver, Quillmark or the helper"
  exit 1
fi
if grep -rn -E "${include}driver/setup/" driver/core; then
  echo "FAIL: the lines above make the driver core depend on the setup code"
  exit 1
fi
echo "platform/ and pemberix/ include nothing of the driver or the programs;" \
  "driver/core nothing of driver/setup"

#!/usr/bin/env bash
# The driver exports exactly the listed names (the narrow build without the
# wide SQL...W entry points) and links no driver manager, Qt or curl.
set -euo pipefail

expected_all=$( (grep -v -E '^[[:space:]]*(#|$)' "$MORVANEX_EXPORT_LIST" || true) | tr -d ' \t' | sort)
expected_narrow=$(grep -v -E '^SQL.*W$' <<<"$expected_all" || true)

exported() { nm -D --defined-only "$1" | awk '{print $NF}' | sort; }

fail=0
check_exports() {
  local lib=$1 expected=$2
  local actual
  actual=$(exported "$lib")
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: exports of $(basename "$lib") differ from the list (< expected, > actual):"
    diff <(echo "$expected") <(echo "$actual") || true
    fail=1
  fi
}
check_exports "$MORVANEX_DRIVER_PATH" "$expected_all"
check_exports "$MORVANEX_DRIVER_A_PATH" "$expected_narrow"

for lib in "$MORVANEX_DRIVER_PATH" "$MORVANEX_DRIVER_A_PATH"; do
  if readelf -d "$lib" | grep -E 'NEEDED.*\[(libiodbc\.so|libodbc\.so)' ; then
    echo "FAIL: $(basename "$lib") links a driver manager"
    fail=1
  fi
  # Qt and libcurl belong to the setup dialogs and the programs, never to
  # the modules an application loads.
  if readelf -d "$lib" | grep -i -E 'qt[0-9]|libqt|curl'; then
    echo "FAIL: $(basename "$lib") names Qt or curl"
    fail=1
  fi
  if ! grep -q 'FLAGS_1.*NODELETE' <<<"$(readelf -d "$lib")"; then
    echo "FAIL: $(basename "$lib") is not marked nodelete"
    fail=1
  fi
done
[ "$(basename "$MORVANEX_DRIVER_PATH")" = morvanex.so ] || { echo "FAIL: driver file name"; fail=1; }

[ $fail = 0 ] && echo "exports and dependencies as expected"
exit $fail

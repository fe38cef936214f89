#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole
# suite twice, once plain and once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then fuzzes the driver's text parsers for 20
# seconds per target (scripts/fuzz.sh). Fails if the machine's ODBC files
# changed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
bash scripts/install-deps.sh || exit 1

JOBS=$(nproc)
WERROR=OFF
if [ -n "${CI:-}" ]; then WERROR=ON; fi

checksum_system_ini() {
  local f
  for f in /etc/odbc.ini /etc/odbcinst.ini; do
    if [ -e "$f" ]; then sha256sum "$f"; else echo "absent $f"; fi
  done
}
before=$(checksum_system_ini)

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
run_suite() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name build ==="
  # Line tables are all a sanitizer's stack trace needs; full debug info
  # would take several gigabytes of disk per build.
  if ! cmake -S "$ROOT" -B "$dir" -DMORVANEX_WERROR=$WERROR -DMORVANEX_TEST_HOOKS=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    status=1
    return
  fi
  if ! cmake --build "$dir" -j"$JOBS" >"$dir.build.log" 2>&1; then
    grep -E -B2 -A12 'error|Error' "$dir.build.log" | head -150
    df -h "$dir"
    echo "=== $name build failed ==="
    status=1
    return
  fi
  echo "=== $name tests ==="
  ctest --test-dir "$dir" -j"$JOBS" --output-on-failure --timeout 600 || status=1
}

mkdir -p "$ROOT/build-ci"
run_suite "plain" "$ROOT/build-ci/plain"
run_suite "sanitizer" "$ROOT/build-ci/asan" -DMORVANEX_SANITIZE=ON
FUZZ_SECONDS=20 FUZZ_JOBS=${FUZZ_JOBS:-$JOBS} FUZZ_BUILD="$ROOT/build-ci/fuzz" \
  bash scripts/fuzz.sh || status=1

after=$(checksum_system_ini)
if [ "$before" != "$after" ]; then
  echo "FAILED: the machine's /etc/odbc.ini or /etc/odbcinst.ini changed during the tests"
  echo "before: $before"
  echo "after:  $after"
  status=1
fi
exit $status

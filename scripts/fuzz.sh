#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, the driver's sources compiled by clang in their
# own build directory) and runs each for FUZZ_SECONDS seconds (default 20)
# from its seed corpus, several side by side. Fails on any crash, leak,
# timeout or sanitizer report; the failing input stays in the work directory
# it names.
#   FUZZ_SECONDS  seconds per target
#   FUZZ_JOBS     build jobs and targets run at once (default 4)
#   FUZZ_BUILD    build directory (default build-fuzz in the source tree)
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=${FUZZ_SECONDS:-20}
JOBS=${FUZZ_JOBS:-4}
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
CORPUS=$ROOT/tests/fuzz/corpus

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
flags+=" -fno-omit-frame-pointer -g -O1"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

mkdir -p "$BUILD"
echo "=== fuzz build ==="
if ! cmake -S "$ROOT" -B "$BUILD" -DMORVANEX_FUZZ=ON -DMORVANEX_TEST_HOOKS=ON -DCMAKE_BUILD_TYPE=Fuzz \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" "${launcher[@]}" \
    >"$BUILD/configure.log" 2>&1; then
  cat "$BUILD/configure.log"
  exit 1
fi
if ! cmake --build "$BUILD" -j"$JOBS" --target fuzz_all >"$BUILD/build.log" 2>&1; then
  grep -E -B2 -A12 'error|Error' "$BUILD/build.log" | head -150
  echo "=== fuzz build failed ==="
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-fuzz.XXXXXX")
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# One target from its seeds; new inputs go to a scratch corpus so that the
# committed seeds stay as they are.
run_target() {
  local name=$1 seeds=$2 program=$BUILD/tests/fuzz/fuzz_$1
  if [ ! -x "$program" ]; then
    echo "no fuzz target for the corpus $name" >"$work/$name.log"
    return 1
  fi
  mkdir -p "$work/$name"
  "$program" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$name-" "$work/$name" "$seeds" >"$work/$name.log" 2>&1
}

# The targets run side by side, as many at a time as there are build jobs.
names=()
for seeds in "$CORPUS"/*/; do
  name=$(basename "$seeds")
  names+=("$name")
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do
    wait -n
  done
  (run_target "$name" "$seeds"; echo $? >"$work/$name.status") &
done
wait

status=0
for name in "${names[@]}"; do
  if [ "$(cat "$work/$name.status" 2>/dev/null)" = 0 ]; then
    echo "fuzz $name: $(grep -E -o 'Done [0-9]+ runs' "$work/$name.log" | tail -1)"
  else
    echo "FAILED: fuzz $name (log and input in $work)"
    grep -E -A40 'ERROR|runtime error|Timeout|leak|deadly|no fuzz target' "$work/$name.log" | head -80
    status=1
  fi
done
if [ $status = 0 ]; then
  rm -rf "$work"
fi
exit $status

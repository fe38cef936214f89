#!/usr/bin/env bash
# The helper's frame decoder, request parser and handlers under libFuzzer (clang, ASan and
# UBSan) for a bounded time, from the seed corpus of both text forms. Any
# crash, leak or sanitizer report fails the test and leaves its input in
# the build folder.
# ctest-timeout: 300
set -euo pipefail
: "${MORVANEX_SOURCE_DIR:?}" "${MORVANEX_BINARY_DIR:?}"
export LC_ALL=C.UTF-8
unset LANG LANGUAGE
SECONDS_TO_RUN=${MORVANEX_FUZZ_SECONDS:-30}

src=$MORVANEX_SOURCE_DIR
out=$MORVANEX_BINARY_DIR/fuzz/helper_request
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT

sources=(
  "$src/tests/fuzz/HelperRequest_fuzz.cpp"
  "$src/authentication/src/HelperRequest.cpp"
  "$src/authentication/src/OldStyleText.cpp"
  "$src/authentication/src/RequestValidation.cpp"
  "$src/authentication/src/SaveParameters.cpp"
  "$src/platform/SystemLog.cpp"
  "$src/platform/ServiceMessage.cpp"
  "$src/platform/DescriptorIo.cpp"
)
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$src" $(pkg-config --cflags libplist-2.0) "${sources[@]}" \
  $(pkg-config --libs libplist-2.0) -o "$out/fuzzer"

cp "$src"/tests/fuzz/corpus/helper_request/* "$work/"
cd "$out"
ASAN_OPTIONS=detect_leaks=1 "$out/fuzzer" -max_total_time="$SECONDS_TO_RUN" -max_len=70000 \
  -rss_limit_mb=2048 -artifact_prefix="$out/" "$work" >"$out/run.log" 2>&1 || {
  tail -40 "$out/run.log"
  echo "FAIL: the fuzzer found an input that breaks the parser (see $out)" >&2
  exit 1
}
grep -E "^#[0-9]+.*(DONE|pulse)" "$out/run.log" | tail -1
echo PASS

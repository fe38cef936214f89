#!/usr/bin/env bash
# No deliverable reaches the installer library's writers: none of the
# binaries imports one, the facade binds none, and no source but the
# writer's comparison test looks one up.
# ctest-timeout: 60
set -uo pipefail
: "${MORVANEX_SOURCE_DIR:?MORVANEX_SOURCE_DIR not set}"
: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
export LC_ALL=C
fail() { echo "FAIL: $*" >&2; exit 1; }

writers='SQLWritePrivateProfileStringW?|SQLWriteDSNToIniW?|SQLRemoveDSNFromIniW?|SQLRemoveDriverW?'
writers+='|SQLInstallDriverEx(W)?|SQLInstallDriver(W)?|SQLWriteFileDSN(W)?'

binaries=("${MORVANEX_DRIVER_PATH:?}" "${MORVANEX_DRIVER_A_PATH:?}" "${MORVANEX_HELPER_PATH:?}"
          "${MORVANEX_PELNARD_PATH:?}")
quillmark=$MORVANEX_BINARY_DIR/admin/Quillmark
[ -f "$quillmark" ] && binaries+=("$quillmark")
for binary in "${binaries[@]}"; do
  [ -f "$binary" ] || fail "missing $binary"
  imported=$(nm -D --undefined-only "$binary" | awk '{print $NF}' | sed 's/@.*//' |
    grep -xE "$writers")
  [ -z "$imported" ] || fail "$binary imports: $imported"
done

# The names the facade binds with dlsym.
header=$MORVANEX_SOURCE_DIR/platform/InstallerFacade.h
bound=$(sed -n '/^#define MORVANEX_INSTALLER_FUNCTIONS/,/^$/p' "$header" |
  grep -oE 'X\([A-Za-z_]+\)' | sed 's/^X(//; s/)$//')
[ -n "$bound" ] || fail "no bound names found in $header"
binds=$(grep -xE "$writers" <<<"$bound")
[ -z "$binds" ] || fail "the facade binds: $binds"

# Any other lookup of a writer by name in the sources.
lookups=$(grep -rnE "dlsym\([^)]*\"($writers)\"" "$MORVANEX_SOURCE_DIR"/{platform,driver,admin,src,authentication,utilities,tests} \
  --include='*.cpp' --include='*.h' | grep -v 'tests/platform/IniWriter_test.cpp')
[ -z "$lookups" ] || fail "looked up by name: $lookups"
echo PASS

#!/usr/bin/env bash
# The installed driver bundle keeps its resources' language folders.
set -euo pipefail

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# DESTDIR keeps any absolute destination inside the temporary folder too.
DESTDIR="$prefix" cmake --install "$MORVANEX_BINARY_DIR" --prefix /opt/morvanex >/dev/null

resources="$prefix/opt/morvanex/lib/morvanex/morvanex.bundle/Contents/Resources"
fail=0
for file in strings_en.strings strings_sv.strings English.lproj/Localizable.strings \
            sv.lproj/Localizable.strings English.lproj/login.htm de.lproj/login.htm \
            es.lproj/login.htm fr.lproj/login.htm ja.lproj/login.htm; do
  if ! cmp -s "$resources/$file" "$MORVANEX_SOURCE_DIR/driver/setup/resources/$file"; then
    echo "FAIL: $file not installed as shipped"
    fail=1
  fi
done
[ $fail = 0 ] && echo "bundle resources installed with their folders"
exit $fail

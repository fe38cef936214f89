#!/usr/bin/env bash
# What `cmake --install` gives a desktop: a valid desktop entry for
# Quillmark whose program and icon are installed beside it, pemberix.so
# where pelnard's table points, and the polkit policy in polkit's folder.
# ctest-timeout: 120
# ctest-lock: cmake-install-staging
set -euo pipefail

: "${MORVANEX_BINARY_DIR:?MORVANEX_BINARY_DIR not set}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() { echo "FAIL: $*" >&2; exit 1; }
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (scripts/install-deps.sh)"

stage=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-install-XXXXXX")
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$MORVANEX_BINARY_DIR" --prefix /usr/local >"$stage.log" 2>&1 ||
  fail "install: $(tail -5 "$stage.log")"
rm -f "$stage.log"
prefix=$stage/usr/local

policydir=$(pkg-config --variable=policydir polkit-gobject-1 2>/dev/null) ||
  policydir=/usr/share/polkit-1/actions
pinned=$(sed -n 's|.*exec.path">\(.*\)</annotate>|\1|p' \
  "$stage$policydir/com.vorlanworks.quillmark.helper.policy" 2>/dev/null || true)
[ "$pinned" = /usr/local/lib/morvanex/morvanex.bundle/Contents/Library/LaunchServices/QuillmarkHelper ] &&
  [ -x "$stage$pinned" ] && [ ! -e "$prefix/share/polkit-1" ] || fail "policy: $(find "$stage" -name '*.policy')"

entry=$prefix/share/applications/com.vorlanworks.quillmark.desktop
[ -f "$entry" ] || fail "no desktop entry at $entry"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate warns: $report"

value() { sed -n "s/^$1=//p" "$entry"; }
[ -x "$prefix/bin/$(value Exec)" ] || fail "Exec=$(value Exec) is not an installed program"
icon=$prefix/share/icons/hicolor/128x128/apps/$(value Icon).png
[ -f "$icon" ] || fail "no icon $icon"
# A PNG's header, then its width and height in the IHDR chunk.
[ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
[ "$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ')" = " 0 0 0 128 0 0 0 128" ] ||
  fail "$icon is not 128x128"

pemberix=$prefix/lib/pemberix/pemberix.bundle/Contents/MacOS/pemberix.so
[ -f "$pemberix" ] || fail "pemberix.so not installed at $pemberix"
echo "desktop entry, icon and pemberix.so installed"

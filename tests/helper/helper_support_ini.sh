#!/usr/bin/env bash
# Reads one value back from an ini file, as the tests check what was written.

# ini_value FILE SECTION KEY: the value, or "<absent>".
ini_value() {
  awk -v section="[$2]" -v key="$3" '
    /^\[/ { inside = ($0 == section); next }
    inside {
      split($0, parts, "=")
      name = parts[1]; gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (name == key) {
        value = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", value)
        print value; found = 1; exit
      }
    }
    END { if (!found) print "<absent>" }' "$1"
}


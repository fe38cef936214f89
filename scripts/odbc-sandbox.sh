#!/usr/bin/env bash
# Sourceable helpers for a private ODBC world: user and system odbc.ini and
# odbcinst.ini, a home directory and XDG directories, all in one temporary
# directory, named by the variables iODBC and the driver read. iODBC falls
# back to /etc silently when a named file is missing, so every file is
# created before anything calls it.
#
#   sandbox_create                          # sets SANDBOX and exports the variables
#   sandbox_add_driver [--user] NAME KEY=VALUE...
#   sandbox_add_dsn [--system] NAME DRIVER KEY=VALUE...
#   sandbox_destroy

sandbox_create() {
  SANDBOX=$(mktemp -d "${TMPDIR:-/tmp}/morvanex-sandbox-XXXXXX")
  mkdir -p "$SANDBOX/user" "$SANDBOX/system" "$SANDBOX/home/.config" \
    "$SANDBOX/home/.local/share" "$SANDBOX/xdg" "$SANDBOX/run"
  chmod 700 "$SANDBOX/run"
  : >"$SANDBOX/user/odbc.ini"
  : >"$SANDBOX/user/odbcinst.ini"
  : >"$SANDBOX/system/odbc.ini"
  : >"$SANDBOX/system/odbcinst.ini"
  export SANDBOX
  export HOME=$SANDBOX/home
  export XDG_CONFIG_HOME=$SANDBOX/home/.config
  export XDG_DATA_HOME=$SANDBOX/home/.local/share
  export XDG_CONFIG_DIRS=$SANDBOX/xdg
  export XDG_RUNTIME_DIR=$SANDBOX/run
  export ODBCINI=$SANDBOX/user/odbc.ini
  export SYSODBCINI=$SANDBOX/system/odbc.ini
  export ODBCINSTINI=$SANDBOX/user/odbcinst.ini
  export SYSODBCINSTINI=$SANDBOX/system/odbcinst.ini
}

# Appends KEY=VALUE lines to a section, creating it at the end of the file.
_sandbox_section() {
  local file=$1 section=$2
  shift 2
  {
    printf '[%s]\n' "$section"
    local pair
    for pair in "$@"; do
      printf '%s = %s\n' "${pair%%=*}" "${pair#*=}"
    done
    printf '\n'
  } >>"$file"
}

# A listing section ([ODBC Drivers], [ODBC Data Sources]) must stay one
# section: rewrite the file with the entry added to it.
_sandbox_list_entry() {
  local file=$1 section=$2 key=$3 value=$4
  awk -v section="[$section]" -v line="$key = $value" '
    $0 == section { print; print line; found = 1; next }
    { print }
    END { if (!found) { print section; print line; print "" } }
  ' "$file" >"$file.tmp" && mv "$file.tmp" "$file"
}

sandbox_add_driver() {
  local dir=system
  if [ "${1:-}" = --user ]; then dir=user; shift; fi
  local name=$1
  shift
  _sandbox_list_entry "$SANDBOX/$dir/odbcinst.ini" "ODBC Drivers" "$name" Installed
  _sandbox_section "$SANDBOX/$dir/odbcinst.ini" "$name" "$@"
}

sandbox_add_dsn() {
  local dir=user
  if [ "${1:-}" = --system ]; then dir=system; shift; fi
  local name=$1 driver=$2
  shift 2
  _sandbox_list_entry "$SANDBOX/$dir/odbc.ini" "ODBC Data Sources" "$name" "$driver"
  _sandbox_section "$SANDBOX/$dir/odbc.ini" "$name" "Driver=$driver" "$@"
}

sandbox_destroy() {
  [ -n "${SANDBOX:-}" ] && rm -rf "$SANDBOX"
  unset SANDBOX
}

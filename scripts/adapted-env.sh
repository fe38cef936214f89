# Sourceable helper: a private ODBC world with adapted DSNs for pemberix.so
# (PostgreSQL, over the private cluster of pg-cluster.sh) and sevrin.so.
#
#   source scripts/adapted-env.sh [SANDBOX_DIR]
#   ... use $ADAPTED_PEMBERIX_DSN / $ADAPTED_SEVRIN_DSN ...
#   adapted_env_teardown
#
# Without SANDBOX_DIR a temporary directory is made. Either way the
# directory gets user/ and system/ odbc.ini and odbcinst.ini, home/ and xdg
# directories, and the environment names them (ODBCINI, SYSODBCINI,
# ODBCINSTINI, SYSODBCINSTINI, ODBCSYSINI, HOME, XDG_*). The cluster is
# started unless it already runs; teardown stops it only when this helper
# started it, removes the DSNs it wrote (or the whole directory when it
# made it) and gives the environment back.
#
# Settings read: MORVANEX_PG_DIR (the cluster), MORVANEX_PEMBERIX_PATH and
# MORVANEX_SEVRIN_PATH (the drivers; else looked for under
# MORVANEX_BINARY_DIR/lib), ADAPTED_PEMBERIX_DSN and ADAPTED_SEVRIN_DSN
# (the DSN names, default PemberixPG and SevrinDB2).

_adapted_env_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_adapted_env_vars="ODBCINI SYSODBCINI ODBCINSTINI SYSODBCINSTINI ODBCSYSINI HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CONFIG_DIRS XDG_RUNTIME_DIR PGHOST PGPORT PGUSER PGDATABASE"

_adapted_env_fail() {
  echo "adapted-env: $*" >&2
  return 1
}

# Removes a section (and its entry under [ODBC Data Sources]) from an ini file.
_adapted_env_remove_section() {
  local file=$1 section=$2
  [ -f "$file" ] || return 0
  awk -v section="$section" '
    /^[ \t]*\[/ {
      name = $0
      sub(/^[ \t]*\[/, "", name); sub(/\][ \t]*$/, "", name)
      skipping = (name == section)
      listing = (name == "ODBC Data Sources")
    }
    skipping { next }
    listing && index($0, "=") {
      key = substr($0, 1, index($0, "=") - 1); gsub(/[ \t]/, "", key)
      if (key == section) next
    }
    { print }
  ' "$file" >"$file.tmp" && mv "$file.tmp" "$file"
}

# Writes one DSN: its [ODBC Data Sources] entry and its section of keys.
_adapted_env_write_dsn() {
  local file=$1 name=$2 description=$3
  shift 3
  _adapted_env_remove_section "$file" "$name"
  if ! grep -q '^\[ODBC Data Sources\]' "$file" 2>/dev/null; then
    printf '[ODBC Data Sources]\n\n' >>"$file"
  fi
  awk -v name="$name" -v description="$description" '
    { print }
    /^\[ODBC Data Sources\]/ { print name " = " description }
  ' "$file" >"$file.tmp" && mv "$file.tmp" "$file"
  {
    printf '\n[%s]\n' "$name"
    local pair
    for pair in "$@"; do
      printf '%s = %s\n' "${pair%%=*}" "${pair#*=}"
    done
  } >>"$file"
}

_adapted_env_driver_path() {
  local explicit=$1 file=$2 candidate
  if [ -n "$explicit" ]; then
    echo "$explicit"
    return 0
  fi
  for candidate in "${MORVANEX_BINARY_DIR:-}/lib/$file" "$_adapted_env_repo/build/lib/$file"; do
    if [ -f "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

_adapted_env_make_sandbox() {
  local dir=$1 sub
  for sub in user system home/.config home/.local/share xdg run; do
    mkdir -p "$dir/$sub" || return 1
  done
  chmod 700 "$dir/run"
  # iODBC falls back to /etc when a named file is missing.
  for sub in user/odbc.ini user/odbcinst.ini system/odbc.ini system/odbcinst.ini; do
    [ -f "$dir/$sub" ] || : >"$dir/$sub"
  done
}

_adapted_env_export_sandbox() {
  local dir=$1 var
  _adapted_env_saved=()
  for var in $_adapted_env_vars; do
    if [ -n "${!var+set}" ]; then
      _adapted_env_saved+=("$var=${!var}")
    else
      _adapted_env_saved+=("$var")
    fi
  done
  export ODBCINI=$dir/user/odbc.ini
  export ODBCINSTINI=$dir/user/odbcinst.ini
  export SYSODBCINI=$dir/system/odbc.ini
  export SYSODBCINSTINI=$dir/system/odbcinst.ini
  # The PostgreSQL driver's installer library looks for the system files here.
  export ODBCSYSINI=$dir/system
  export HOME=$dir/home
  export XDG_CONFIG_HOME=$dir/home/.config
  export XDG_DATA_HOME=$dir/home/.local/share
  export XDG_CONFIG_DIRS=$dir/xdg
  export XDG_RUNTIME_DIR=$dir/run
}

_adapted_env_start_cluster() {
  local script=$_adapted_env_repo/scripts/pg-cluster.sh
  [ -f "$script" ] || { _adapted_env_fail "missing $script"; return 1; }
  _adapted_env_started_cluster=0
  if ! bash "$script" status >/dev/null 2>&1; then
    bash "$script" start >&2 || { _adapted_env_fail "cannot start the PostgreSQL cluster"; return 1; }
    _adapted_env_started_cluster=1
  fi
  local env_file=${MORVANEX_PG_DIR:-/tmp/morvanex-pg-$(id -u)}/env line
  [ -f "$env_file" ] || { _adapted_env_fail "no cluster settings in $env_file"; return 1; }
  while IFS= read -r line; do
    case $line in
      PGHOST=* | PGPORT=* | PGUSER=* | PGDATABASE=*) export "${line?}" ;;
    esac
  done <"$env_file"
}

adapted_env_setup() {
  local dir=${1:-}
  # Set up once at a time: a second setup first gives back the first.
  if [ -n "${ADAPTED_ENV_DIR:-}" ]; then
    adapted_env_teardown
  fi
  ADAPTED_PEMBERIX_DSN=${ADAPTED_PEMBERIX_DSN:-PemberixPG}
  ADAPTED_SEVRIN_DSN=${ADAPTED_SEVRIN_DSN:-SevrinDB2}
  export ADAPTED_PEMBERIX_DSN ADAPTED_SEVRIN_DSN
  if [ -n "$dir" ]; then
    _adapted_env_made_dir=0
  else
    dir=$(mktemp -d "${TMPDIR:-/tmp}/adapted-env-XXXXXX") || return 1
    _adapted_env_made_dir=1
  fi
  _adapted_env_make_sandbox "$dir" || { _adapted_env_fail "cannot prepare $dir"; return 1; }
  ADAPTED_ENV_DIR=$(cd "$dir" && pwd)
  export ADAPTED_ENV_DIR
  _adapted_env_export_sandbox "$ADAPTED_ENV_DIR"
  _adapted_env_start_cluster || return 1

  local pemberix
  pemberix=$(_adapted_env_driver_path "${MORVANEX_PEMBERIX_PATH:-}" pemberix.so) ||
    { _adapted_env_fail "pemberix.so not found (set MORVANEX_PEMBERIX_PATH)"; return 1; }
  _adapted_env_write_dsn "$ODBCINI" "$ADAPTED_PEMBERIX_DSN" "PostgreSQL through pemberix.so" \
    "Driver=$pemberix" "Description=PostgreSQL through pemberix.so" \
    "Servername=$PGHOST" "Port=$PGPORT" "Database=$PGDATABASE" "Username=$PGUSER"
  _adapted_env_dsns=("$ADAPTED_PEMBERIX_DSN")

  local sevrin
  if sevrin=$(_adapted_env_driver_path "${MORVANEX_SEVRIN_PATH:-}" sevrin.so); then
    _adapted_env_write_dsn "$ODBCINI" "$ADAPTED_SEVRIN_DSN" "DB2 stand-in sevrin.so" \
      "Driver=$sevrin" "Description=DB2 stand-in sevrin.so"
    _adapted_env_dsns+=("$ADAPTED_SEVRIN_DSN")
  else
    echo "adapted-env: sevrin.so not found; no $ADAPTED_SEVRIN_DSN DSN written" >&2
  fi
}

adapted_env_teardown() {
  [ -n "${ADAPTED_ENV_DIR:-}" ] || return 0
  local dsn entry
  if [ "${_adapted_env_made_dir:-0}" = 1 ]; then
    rm -rf "$ADAPTED_ENV_DIR"
  else
    for dsn in "${_adapted_env_dsns[@]}"; do
      _adapted_env_remove_section "$ADAPTED_ENV_DIR/user/odbc.ini" "$dsn"
    done
  fi
  if [ "${_adapted_env_started_cluster:-0}" = 1 ]; then
    bash "$_adapted_env_repo/scripts/pg-cluster.sh" stop >&2
  fi
  for entry in "${_adapted_env_saved[@]}"; do
    case $entry in
      *=*) export "${entry%%=*}=${entry#*=}" ;;
      *) unset "$entry" ;;
    esac
  done
  unset ADAPTED_ENV_DIR _adapted_env_dsns _adapted_env_saved _adapted_env_made_dir _adapted_env_started_cluster
}

adapted_env_setup "$@"

#!/usr/bin/env bash
# Installs what building, testing and running the project needs on Debian 12.
# Runs apt-get only when something is missing.
set -euo pipefail

PACKAGES=(
  g++ cmake make pkg-config binutils util-linux perl locales
  libiodbc2-dev iodbc libplist-dev
  googletest libgtest-dev
  postgresql-15 postgresql-client-15 odbc-postgresql
  # The setup dialogs, the administrator and the helper (Qt 6, QUiLoader;
  # QtUiTools' CMake package asks for Qt's OpenGL one).
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libcurl4-openssl-dev
  # Fuzz targets.
  clang libclang-rt-14-dev
  # The helper's tests: systemd-analyze and systemd-socket-activate.
  systemd
  # The check of Quillmark's desktop entry.
  desktop-file-utils
  # Legible text in the PNGs rendered of the dialogs.
  fonts-dejavu-core
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! grep -q "install ok installed" <<<"$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

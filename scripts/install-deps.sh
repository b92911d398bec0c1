#!/usr/bin/env bash
# Installs the Debian packages Quillane needs to build, test and run (and, with --package, to
# check the Debian package with lintian). Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev sqlite3
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libqcustomplot-dev qt6-translations-l10n
  libopenmpi-dev openmpi-bin libceres-dev
  libcairo2-dev fonts-dejavu-core xvfb xauth
  dpkg-dev desktop-file-utils appstream
  calculix-ccx
  python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib
)
if [ "${1:-}" = "--package" ]; then
  packages+=(lintian)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with:  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

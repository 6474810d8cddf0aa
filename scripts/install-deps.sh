#!/usr/bin/env bash
# Installs the Debian packages Tessaline builds and tests with. Quiet and quick when all are there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev libvulkan-dev libxkbcommon-dev
    libsqlite3-dev sqlite3
    mdbtools mdbtools-dev libglib2.0-dev
    clang libclang-rt-14-dev
    fonts-dejavu-core
    desktop-file-utils appstream systemd
    radicale xandikos vdirsyncer python3-passlib git
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "Installing ${missing[*]} needs root (run this as root or through sudo)." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

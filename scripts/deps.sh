#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and the virtual meter need, only those missing.
set -euo pipefail

packages=(
    clang libclang-rt-14-dev
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    libmodbus-dev socat xvfb xauth
    libqt6sql6-sqlite libqt6sql6-psql postgresql
    dpkg-dev file desktop-file-utils librsvg2-bin parallel
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

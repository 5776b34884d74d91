#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quellmark need, when any is
# missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev fonts-dejavu-core libsqlite3-dev libexiv2-dev
    libpq-dev postgresql-15 postgresql-client-15 postgresql-common
    xvfb xauth poppler-utils
    clang libclang-rt-14-dev clang-format python3 time
    dpkg-dev file lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

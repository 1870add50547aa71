#!/usr/bin/env bash
# Installs what building, running and testing Tarvela needs on Debian 12 (as root or with sudo).
# Packages already present are left alone, so a second run costs nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libgtest-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  firebird3.0-server-core firebird-dev libfbclient2 firebird3.0-utils
  util-linux fonts-liberation
  libxlsxwriter-dev libzip-dev libpugixml-dev libfreexl-dev python3-openpyxl poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"

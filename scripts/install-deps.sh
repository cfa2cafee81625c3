#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing for packages that are already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config time
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  coinor-libcbc-dev liblapack-dev libblas-dev libgfortran-12-dev
  ghdl iverilog berkeley-abc yosys python3
  clang libclang-rt-14-dev
  xvfb xauth imagemagick fonts-dejavu-core fonts-dejavu-extra
  dpkg-dev desktop-file-utils libxml2-utils xdg-utils libfile-mimeinfo-perl
  shared-mime-info man-db
  texlive-latex-base texlive-pictures
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

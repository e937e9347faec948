#!/usr/bin/env bash
# Installs the Debian 12 packages the tool, its tests, its benchmark and its Debian package need;
# does nothing when all are there.
# --desktop adds what a person at the screen needs besides (a Korean font for the Korean translation).
set -euo pipefail

packages=(
  build-essential cmake
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5sql5 libqt5sql5-sqlite qttools5-dev qttools5-dev-tools qttranslations5-l10n
  fonts-dejavu-core
  pkg-config libudev-dev
  g++-mingw-w64-x86-64
  libqt5charts5-dev libqcustomplot-dev
  dpkg-dev file lintian desktop-file-utils appstream
  clang libclang-rt-14-dev llvm-14
  xvfb
  libqt5sql5-sqlite poppler-utils
  libhpdf-dev
)

if [ "${1:-}" = "--desktop" ]; then
  packages+=(fonts-nanum)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

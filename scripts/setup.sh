#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tarnwick need.
# Only what is missing is installed; safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk
  clang libclang-rt-14-dev clang-format
  ntfs-3g fuse3 attr
  xvfb xauth xdg-utils
)
if [ "${1:-}" = "--test" ]; then
  packages+=(at-spi2-core python3-pyatspi dbus-x11 libglib2.0-bin gsettings-desktop-schemas)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Run this again as root, or install sudo, to install them." >&2
    exit 1
  fi
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

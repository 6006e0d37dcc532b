#!/usr/bin/env bash
# Installs the Debian packages that Tarnwick needs. Only what is missing is installed; safe
# to run again.
#   bash scripts/setup.sh          building, running and packaging the program
#   bash scripts/setup.sh --test   and the test toolchain as well
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  fonts-noto-cjk libglib2.0-bin xdg-utils attr
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    ntfs-3g fuse3 liblnk-utils
    xvfb xauth at-spi2-core python3-pyatspi dbus-x11 gsettings-desktop-schemas
    lintian desktop-file-utils appstream imagemagick xdotool
  )
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
# Another installation may hold the package database for a while: wait for it.
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"

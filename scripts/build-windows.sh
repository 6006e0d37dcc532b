#!/usr/bin/env bash
# Cross-compiles the Windows build into build-win/ (tarnwick.exe and systemset.dll beside it).
# Installs the mingw-w64 compiler and Wine first where they are missing.
#   scripts/build-windows.sh [build-dir] [extra cmake options]
set -euo pipefail
cd "$(dirname "$0")/.."

# The -posix variant: the -win32 thread model has no std::mutex, and installing it switches
# the compiler alternative over.
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build wine64 fonts-wine fonts-noto-cjk xvfb
          xauth locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
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
  $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
  $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
fi

dir=${1:-build-win}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DTARNWICK_GUI=OFF -DTARNWICK_POSIX=OFF -DTARNWICK_BENCH=OFF "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"

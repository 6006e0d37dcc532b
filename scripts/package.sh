#!/usr/bin/env bash
# Builds the Debian package dist/tarnwick_<version>_<arch>.deb: a release build installed
# into a staging folder, its library dependencies found by dpkg-shlibdeps, packed by
# dpkg-deb. There is no Windows build yet, so no Windows zip either.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target tarnwick icons
# shellcheck source=/dev/null
. "$dir/package.env"

arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
DESTDIR=$root cmake --install "$dir" --strip >/dev/null
strip --remove-section=.comment --remove-section=.note "$root/usr/lib/tarnwick/tarnwick"

doc=$root/usr/share/doc/tarnwick
mkdir -p "$doc" "$root/DEBIAN"
gzip -9n "$root/usr/share/man/man1/tarnwick.1"
# A native package: its own changelog, dated by the last commit so that a rebuild is equal.
when=$(git log -1 --format=%cD 2>/dev/null || date -R)
year=$(date -d "$when" +%Y)
printf '%s\n' "tarnwick ($version) unstable; urgency=medium" "" \
  "  * Tarnwick $version." "" " -- $maker <$mail>  $when" >"$stage/changelog"
gzip -9n -c "$stage/changelog" >"$doc/changelog.gz"
cat >"$doc/copyright" <<COPYRIGHT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tarnwick
Upstream-Contact: $maker <$mail>
Source: $homepage

Files: *
Copyright: $year $maker
License: proprietary
 All rights reserved.
COPYRIGHT

# The libraries the program links, with the versions this build needs.
mkdir -p "$stage/debian"
printf 'Source: tarnwick\n\nPackage: tarnwick\nArchitecture: any\n' >"$stage/debian/control"
shlibs=$(cd "$stage" && dpkg-shlibdeps -O "$root/usr/lib/tarnwick/tarnwick" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no libraries" >&2; exit 1; }

find "$root" -type d -exec chmod 0755 {} +
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: tarnwick
Version: $version
Architecture: $arch
Maintainer: $maker <$mail>
Installed-Size: $size
Depends: $shlibs, fonts-noto-cjk, libglib2.0-bin
Recommends: gsettings-desktop-schemas, qt6-translations-l10n, xdg-utils
Section: utils
Priority: optional
Homepage: $homepage
Description: protect USB sticks against autorun.inf malware
 Tarnwick watches for a USB stick and quick-scans its top folder for the
 usual autorun.inf tricks: programs that pose as folders, an autorun.inf
 file and the program it starts, and small hidden programs and scripts.
 Every file it removes goes to a quarantine first, from which it can be
 restored. It can immunize a stick with a protective autorun.inf folder
 and switch the desktop's automatic running of inserted media off.
 .
 Its window and messages are in Simplified Chinese.
CONTROL

mkdir -p dist
deb=dist/tarnwick_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null

# The portable Windows build, where it has been built (bash scripts/build-windows.sh): the
# program, its companion file and a short read-me in Chinese, as one zip.
if [ -f build-win/tarnwick.exe ] && [ -f build-win/systemset.dll ] &&
  [ -f build-win/fullscan.rules ]; then
  winstage=$(mktemp -d)
  trap 'rm -rf "$stage" "$winstage"' EXIT
  mkdir -p "$winstage/Tarnwick"
  cp build-win/tarnwick.exe build-win/systemset.dll build-win/fullscan.rules "$winstage/Tarnwick/"
  # A byte-order mark, so that older Notepads read the Chinese as UTF-8.
  printf '\xef\xbb\xbf' >"$winstage/Tarnwick/readme.txt"
  printf '%s\r\n' \
    "Tarnwick $version（便携版）" \
    "" \
    "双击 tarnwick.exe 即可运行，无需安装。systemset.dll 是“免疫系统”所用的配套文件，" \
    "fullscan.rules 是“完全扫描”所用的规则文件。这两个文件请与 tarnwick.exe 放在同一文件夹中。" \
    "" \
    "使用方法：插入U盘，选择“快速扫描”，单击“立即扫描”。" \
    "清除的文件先保存在隔离区（%LOCALAPPDATA%\\Tarnwick\\Quarantine），可在“操作”菜单的“隔离区”中恢复。" \
    "" \
    "Portable: run tarnwick.exe; keep systemset.dll and fullscan.rules beside it. Removed files go to the" \
    "quarantine in %LOCALAPPDATA%\\Tarnwick\\Quarantine and can be restored from the menu." \
    >>"$winstage/Tarnwick/readme.txt"
  zip=$(pwd)/dist/tarnwick-${version}-win64.zip
  rm -f "$zip"
  (cd "$winstage" && cmake -E tar cf "$zip" --format=zip Tarnwick)
  echo "dist/tarnwick-${version}-win64.zip"
fi
# The package's path last: callers take it from there.
echo "$deb"

#!/usr/bin/env bash
# The real program's --full-scan over a sample stick declared by TARNWICK_DRIVES, without a
# display: a dry run changes nothing and exits 1, a real run cleans and exits 1, a second run
# finds nothing and exits 0; a path that is not a removable drive, and a program without its
# rules beside it, exit 2. Each run writes its report.
set -u
binary=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stick=$work/STICK
bash "$source_dir/scripts/sample-stick.sh" "$stick" 2>/dev/null
for item in Photos:0x16 Photos.exe:0x22 setup.exe:0x22; do
  setfattr -n user.DOSATTRIB -v "\"${item#*:}\"" "$stick/${item%%:*}" 2>/dev/null || {
    echo "this file system keeps no user.* attributes: skipped" >&2
    exit 0
  }
done

fail=0
check() { # case, expected status, actual status, text the output holds
  if [ "$3" -ne "$2" ]; then
    echo "$1: exit status $3, expected $2" >&2
    fail=1
  fi
  if ! grep -qF -- "$4" "$work/out" "$work/err"; then
    echo "$1: the output lacks \"$4\"; it was:" >&2
    cat "$work/out" "$work/err" >&2
    fail=1
  fi
}
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY TARNWICK_DRIVES="removable=$stick;fixed=$work" \
    HOME="$work" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" \
    timeout 60 "$@" >"$work/out" 2>"$work/err"
}

run "$binary" --full-scan "$stick" --dry-run
check "dry run" 1 $? "演示模式：只检查，未作任何更改。"
[ -f "$stick/Photos.exe" ] || { echo "dry run: Photos.exe was removed" >&2; fail=1; }

run "$binary" --full-scan "$stick/"
check "cleaning run" 1 $? "已移入隔离区！"
[ ! -e "$stick/Photos.exe" ] || { echo "Photos.exe is still there" >&2; fail=1; }
[ -f "$stick/Photos/readme.txt" ] || { echo "the user's file went" >&2; fail=1; }
run "$binary" --quarantine
check "quarantine" 0 $? "完全扫描：病毒文件"

run "$binary" --full-scan "$stick"
check "clean stick" 0 $? "清除威胁 0 个"
reports=$(find "$work/state/tarnwick/reports" -name 'fullscan-*.txt' | wc -l)
[ "$reports" -eq 3 ] || { echo "$reports reports, expected 3" >&2; fail=1; }

run "$binary" --full-scan "$work"
check "fixed drive" 2 $? "不是本程序能识别的U盘"

mkdir "$work/bare"
cp "$binary" "$work/bare/tarnwick"
run "$work/bare/tarnwick" --full-scan "$stick"
check "no rules" 2 $? "检测不到完全扫描模块，无法继续......"
exit $fail

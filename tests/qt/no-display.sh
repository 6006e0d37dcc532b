#!/usr/bin/env bash
# Started without a usable display, the program says so on standard error in Chinese and
# English and ends with status 1, not with Qt's abort: once with no display named at all,
# once with a display named that no X server serves.
set -u
binary=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The first display number from 99 on that nothing here serves (others may run Xvfb).
n=99
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done

fail=0
run() {
  local case=$1 shown=$2
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" \
    timeout 60 "$binary" >"$work/out" 2>"$work/err"
  local rc=$?
  local expected="Tarnwick 无法启动：没有可用的图形显示（$shown）。请在桌面会话中启动本程序。"
  if [ "$rc" -ne 1 ]; then
    echo "$case: exit status $rc, expected 1" >&2
    fail=1
  fi
  if ! grep -qxF "$expected" "$work/err" ||
    ! grep -qF "Tarnwick cannot start: no usable graphical display" "$work/err"; then
    echo "$case: the message is missing; standard error was:" >&2
    cat "$work/err" >&2
    fail=1
  fi
}
run "no display" "未设置 DISPLAY 或 WAYLAND_DISPLAY"
run "unreachable display" "DISPLAY=:$n" DISPLAY=":$n"
exit $fail

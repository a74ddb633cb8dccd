#!/bin/sh
# Times DrawMandel where users see it: quilfen-draw-bench on the offscreen
# platform and, when Xvfb is installed, on an X server (a private Xvfb display
# that this script starts and stops), each run beside the two-thread
# computation of the same picture.
#
#   tools/draw-bench.sh BENCH [OTHER_BENCH ...]
#
# Several builds of quilfen-draw-bench (say, this one and main's) run one after
# the other on each platform, on the same display, so their figures compare.
# Exit status: 0, or the first failing run's status.
set -e
if [ $# -eq 0 ]; then
  echo "usage: $0 QUILFEN_DRAW_BENCH [ANOTHER_BUILD'S_QUILFEN_DRAW_BENCH ...]" >&2
  exit 2
fi
for bench in "$@"; do
  [ -x "$bench" ] || { echo "$0: $bench is not an executable" >&2; exit 2; }
done

run_all() {
  for bench in "$@"; do
    echo "=== $QT_QPA_PLATFORM: $bench"
    "$bench"
  done
}

QT_QPA_PLATFORM=offscreen
export QT_QPA_PLATFORM
run_all "$@"

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "=== xcb: skipped, Xvfb is not installed (tools/install-deps.sh installs it)"
  exit 0
fi

# Xvfb picks a free display number and writes it to the file once it accepts
# clients.
work=$(mktemp -d)
xvfb_pid=""
stop_xvfb() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop_xvfb EXIT
trap 'exit 130' INT TERM
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$work/display" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "$0: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
DISPLAY=:$(cat "$work/display")
QT_QPA_PLATFORM=xcb
export DISPLAY QT_QPA_PLATFORM
run_all "$@"

#!/bin/sh
# Times DrawMandel where users see it: quilfen-draw-bench on the offscreen
# platform, on an X server when Xvfb is installed (a private Xvfb display that
# this script starts and stops), and on a Wayland compositor when weston and
# Qt's Wayland platform are installed (private headless westons, likewise
# started and stopped), each run beside the two-thread computation of the same
# picture.
#
#   tools/draw-bench.sh BENCH [OTHER_BENCH ...]
#
# Several builds of quilfen-draw-bench (say, this one and main's) run one after
# the other on each platform, on the same display, so their figures compare.
# The closing table puts every build's figures on every platform side by side.
# Exit status: 0, or the first failing run's status.
set -e
if [ $# -eq 0 ]; then
  echo "usage: $0 QUILFEN_DRAW_BENCH [ANOTHER_BUILD'S_QUILFEN_DRAW_BENCH ...]" >&2
  exit 2
fi
for bench in "$@"; do
  [ -x "$bench" ] || { echo "$0: $bench is not an executable" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=""
weston_pid=""
status=0
stop_servers() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop_servers EXIT
trap 'exit 130' INT TERM

# Each run's output goes to the terminal and to a file, whose closing lines
# give the table; a failing run is remembered, and the others still run.
run_all() {
  for bench in "$@"; do
    echo "=== $QT_QPA_PLATFORM: $bench"
    out="$work/run.$QT_QPA_PLATFORM.$(echo "$bench" | cksum | cut -d' ' -f1)"
    if "$bench" >"$out" 2>&1; then
      cat "$out"
    else
      code=$?
      cat "$out"
      echo "=== $QT_QPA_PLATFORM: $bench failed (status $code)"
      [ $status -ne 0 ] || status=$code
    fi
    sed -n 's/^  a full DrawMandel *\([0-9.]*\) ms.*/\1/p' "$out" >"$out.draw"
    sed -n 's/^  its picture computed, 2 threads *\([0-9.]*\) ms.*/\1/p' "$out" >"$out.compute"
    sed -n 's/^  drawing \/ computation *\([0-9.]*x\).*/\1/p' "$out" >"$out.ratio"
    printf '%s\t%s\t%s\t%s\t%s\n' "$QT_QPA_PLATFORM" "$bench" "$(cat "$out.draw")" \
      "$(cat "$out.compute")" "$(cat "$out.ratio")" >>"$work/table"
  done
}

skip() {
  echo "=== $1: skipped, $2"
  printf '%s\t(all)\tskipped: %s\t\t\n' "$1" "$2" >>"$work/table"
}

# Waits up to ten seconds for a file to appear (or to be non-empty with -s);
# false when it does not or the process $2 has ended.
wait_for_file() {
  test_op=$1 file=$2 pid=$3 tries=0
  while ! test "$test_op" "$file"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
      return 1
    fi
    sleep 0.1
  done
}

QT_QPA_PLATFORM=offscreen
export QT_QPA_PLATFORM
run_all "$@"

if command -v Xvfb >/dev/null 2>&1; then
  # Xvfb picks a free display number and writes it to the file once it
  # accepts clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  if ! wait_for_file -s "$work/display" "$xvfb_pid"; then
    echo "$0: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  DISPLAY=:$(cat "$work/display")
  QT_QPA_PLATFORM=xcb
  export DISPLAY QT_QPA_PLATFORM
  run_all "$@"
  kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  unset DISPLAY
else
  skip xcb "Xvfb is not installed (tools/install-deps.sh installs it)"
fi

# Qt's Wayland platform is a plugin beside the others of its installation.
wayland_plugin() {
  for dir in ${QT_PLUGIN_PATH:+$(echo "$QT_PLUGIN_PATH" | tr ':' ' ')} \
             /usr/lib/*/qt6/plugins /usr/lib/qt6/plugins /usr/lib64/qt6/plugins; do
    for plugin in "$dir"/platforms/libqwayland-generic.so "$dir"/platforms/libqwayland*.so; do
      [ -e "$plugin" ] && return 0
    done
  done
  return 1
}

if ! command -v weston >/dev/null 2>&1; then
  skip wayland "weston is not installed (tools/install-deps.sh installs it)"
elif ! wayland_plugin; then
  skip wayland "Qt's Wayland platform is not installed (qt6-wayland; tools/install-deps.sh installs it)"
else
  # Compositors of our own, each with its socket in a runtime folder of our
  # own and no input devices. The timing runs on one that draws nothing (the
  # noop renderer, a headless weston's default), where a repaint per column
  # made a drawing 100 times its computation (twice it, with the CPU
  # renderer). It takes no screenshots (no --debug), so there the benchmark
  # skips its screen check; a second weston with the CPU renderer, which
  # keeps real pixels and serves its screenshooter with --debug, then checks
  # the screen after a drawing of each build. Weston 10 calls the backend
  # headless-backend.so and renders nothing unless told --use-pixman; later
  # ones say headless and --renderer=noop or --renderer=pixman.
  help=$(weston --help 2>&1 || true)
  backend=headless-backend.so
  echo "$help" | grep -q 'headless-backend.so' || backend=headless
  if echo "$help" | grep -q -- '--renderer'; then
    noop=--renderer=noop pixman=--renderer=pixman
  else
    noop="" pixman=--use-pixman
  fi
  mkdir -m 700 "$work/runtime"
  # No fades or zooms: a screenshot shows the window as it is.
  printf '[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\nfocus-animation=none\n' \
    >"$work/weston.ini"
  XDG_RUNTIME_DIR="$work/runtime"
  QT_QPA_PLATFORM=wayland
  export XDG_RUNTIME_DIR QT_QPA_PLATFORM
  # start_weston SOCKET OPTION...: starts weston, or ends the script.
  start_weston() {
    socket=$1
    shift
    weston --backend="$backend" "$@" --width=1024 --height=768 --socket="$socket" \
      --idle-time=0 --config="$work/weston.ini" --log="$work/$socket.log" >/dev/null 2>&1 &
    weston_pid=$!
    if ! wait_for_file -S "$work/runtime/$socket" "$weston_pid"; then
      echo "$0: weston did not start:" >&2
      cat "$work/$socket.log" >&2
      exit 1
    fi
    WAYLAND_DISPLAY=$socket
    export WAYLAND_DISPLAY
  }
  start_weston quilfen-timing $noop
  run_all "$@"
  kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null || true
  start_weston quilfen-screen $pixman --debug
  for bench in "$@"; do
    echo "=== wayland, CPU renderer: the screen after a drawing: $bench"
    "$bench" --draws 1 || {
      code=$?
      echo "=== wayland: $bench: the screen check failed (status $code)"
      [ $status -ne 0 ] || status=$code
      printf '%s\t%s\tthe screen check failed\t\t\n' wayland "$bench" >>"$work/table"
    }
  done
fi

echo
echo "Side by side, best of the interleaved repetitions (drawing, computation, ratio):"
awk -F '\t' '$3 ~ /^skipped/ { printf "  %-9s %s\n", $1, $3; next }
              $3 ~ /^the screen/ { printf "  %-9s %s   %s\n", $1, $3, $2; next }
              { printf "  %-9s %8s ms %8s ms %9s   %s\n", $1, $3, $4, $5, $2 }' "$work/table"
exit $status

#!/usr/bin/env bash
# Runs a test program on a virtual X display of its own (Xvfb) with a screen
# of the given size, on Qt's X11 platform, and ends the display afterwards.
#   on_xvfb.sh WIDTHxHEIGHT PROGRAM [ARGS...]
set -euo pipefail
size=$1
shift
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "on_xvfb: Xvfb did not start:" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -dc 0-9 <"$dir/display")" QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# Runs TLX_Demo against the virtual terminal.
#   scripts/run-demo.sh BUILD_DIR              the interactive demo
#   scripts/run-demo.sh BUILD_DIR --tour DIR   one action on every page, a
#                                              picture of the window after
#                                              each into DIR; exit code 0
#                                              only if all succeeded
# The terminal (tlx-sim) runs in the background while the demo is open and
# is stopped when it closes. The demo works in BUILD_DIR/run-demo, which
# holds the library it binds ("./libtlxdev.so"), its "config.ini" and the
# sample inputs of its pages ("info.txt", "hwBack.pdf"). Port 0 (the default)
# is USB HID through the libusb stand-in; port 1 is the terminal's serial
# line (a pseudo-terminal). Without a display the demo runs on a virtual one
# (Xvfb). Ctrl-C ends the demo, the terminal and the virtual display.
set -euo pipefail

usage() { echo "usage: run-demo.sh BUILD_DIR [--tour DIR]" >&2; exit 2; }
[ $# -ge 1 ] || usage
BUILD=$(cd "$1" && pwd)
shift
TOUR=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tour)
      [ $# -ge 2 ] || usage
      mkdir -p "$2"
      TOUR=$(cd "$2" && pwd)
      shift 2
      ;;
    *) usage ;;
  esac
done

SIM=$BUILD/sim/program/tlx-sim
DEMO=$BUILD/demo/TLX_Demo
LIB=$BUILD/sdk/libtlxdev.so
RUN=$BUILD/run-demo

for f in "$SIM" "$DEMO" "$LIB"; do
  [ -e "$f" ] || { echo "run-demo: $f is missing; build first" >&2; exit 1; }
done

NAME=run-demo
. "$(dirname "$0")/sim-session.sh"
prepare_run_dir
# Settings the user saved in an earlier run are kept; the tour always starts
# from USB HID.
if [ -n "$TOUR" ] || [ ! -f "$RUN/config.ini" ]; then
  printf '[com]\nport=0\nbp=0\nbaud=9600\n' >"$RUN/config.ini"
fi
start_sim --serial-ports 1

args=()
[ -n "$TOUR" ] && args=(--tour "$TOUR")
echo "run-demo: virtual terminal up (log: $RUN/sim.log); demo in $RUN"
[ -z "$TOUR" ] && HINT="./tlx demo --tour DIR saves pictures of its window"
run_gui "$DEMO" "${args[@]}"
[ -n "$TOUR" ] && echo "run-demo: tour pictures in $TOUR"
exit "$STATUS"

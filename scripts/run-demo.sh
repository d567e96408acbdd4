#!/usr/bin/env bash
# Runs TLX_Demo against the virtual terminal.
#   scripts/run-demo.sh BUILD_DIR              the demo and the terminal's
#                                              window side by side: the
#                                              person at that window answers
#   scripts/run-demo.sh BUILD_DIR --scripted   the terminal without a window;
#                                              its scripted customer answers
#   scripts/run-demo.sh BUILD_DIR --tour DIR   one action on every page, a
#                                              picture of the window after
#                                              each into DIR (and one of the
#                                              terminal window at each step
#                                              that shows something on it,
#                                              "NN-step-terminal.png"); exit
#                                              code 0 only if all succeeded
#                                              (with --scripted as well: the
#                                              window then shows what the
#                                              scripted customer does)
# The terminal (TLX_Terminal, or tlx-sim with --scripted) runs in the
# background while the demo is open and is stopped when it closes. The demo
# works in BUILD_DIR/run-demo, which holds the library it binds
# ("./libtlxdev.so"), its "config.ini" and the sample inputs of its pages
# ("info.txt", "hwBack.pdf"); one run at a time uses it: a second run is
# refused while the first holds it. Port 0 (the default) is USB HID through the
# libusb stand-in; port 1 is the terminal's serial line (a pseudo-terminal).
# Without a display the demo and the terminal's window run on a virtual one
# (Xvfb). Ctrl-C ends the demo, the terminal and the virtual display.
set -euo pipefail

usage() { echo "usage: run-demo.sh BUILD_DIR [--scripted] [--tour DIR]" >&2; exit 2; }
[ $# -ge 1 ] || usage
BUILD=$(cd "$1" && pwd)
shift
TOUR=""
SCRIPTED=""
while [ $# -gt 0 ]; do
  case "$1" in
    --scripted) SCRIPTED=1; shift ;;
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
TERMINAL=$BUILD/sim/window/TLX_Terminal
DEMO=$BUILD/demo/TLX_Demo
LIB=$BUILD/sdk/libtlxdev.so
RUN=$BUILD/run-demo

# The terminal's window answers unless the scripted customer is asked for;
# on the tour (scripted or not) it shows what the scripted customer does and
# takes pictures. Beside each other, the demo takes the left edge of the
# screen and the terminal's window the rest (compact on a small screen).
SIM_ARGS=(--serial-ports 1)
DEMO_ARGS=()
if [ -n "$TOUR" ]; then
  SIM_PROGRAM=$TERMINAL
  SIM_ARGS+=(--scripted --pictures "$TOUR")
  DEMO_ARGS=(--tour "$TOUR")
elif [ -z "$SCRIPTED" ]; then
  SIM_PROGRAM=$TERMINAL
  SIM_ARGS+=(--beside)
  DEMO_ARGS=(--beside)
else
  SIM_PROGRAM=$SIM
fi

for f in "$SIM_PROGRAM" "$DEMO" "$LIB"; do
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
[ -z "$TOUR" ] && HINT="./tlx demo --tour DIR saves pictures of its window"
# The terminal's window needs the display the demo will have.
[ "$SIM_PROGRAM" = "$TERMINAL" ] && start_display "$DEMO"
start_sim "${SIM_ARGS[@]}"

if [ -z "$SCRIPTED" ] && [ -z "$TOUR" ]; then
  echo "run-demo: virtual terminal up with its window: answer there (log: $RUN/sim.log); demo in $RUN"
else
  echo "run-demo: virtual terminal up (log: $RUN/sim.log); demo in $RUN"
fi
run_gui "$DEMO" "${DEMO_ARGS[@]}"
[ -n "$TOUR" ] && echo "run-demo: tour pictures in $TOUR"
exit "$STATUS"

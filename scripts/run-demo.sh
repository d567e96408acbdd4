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
# line (a pseudo-terminal). Without a display the demo runs under Xvfb.
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

mkdir -p "$RUN"
ln -sfn "$LIB" "$RUN/libtlxdev.so"
# Settings the user saved in an earlier run are kept; the tour always starts
# from USB HID.
if [ -n "$TOUR" ] || [ ! -f "$RUN/config.ini" ]; then
  printf '[com]\nport=0\nbp=0\nbaud=9600\n' >"$RUN/config.ini"
fi
# Sample inputs for the interaction page's default paths; edited copies are kept.
[ -f "$RUN/info.txt" ] || printf '尊敬的客户，请确认本次业务信息。\n业务类型：转账\n金额：100.00元\n' >"$RUN/info.txt"
[ -f "$RUN/hwBack.pdf" ] || printf '%%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%%%EOF\n' >"$RUN/hwBack.pdf"

ENV_FILE=$RUN/sim.env
rm -f "$ENV_FILE"
"$SIM" --serial-ports 1 --env-file "$ENV_FILE" >"$RUN/sim.log" 2>&1 &
SIM_PID=$!
stop_sim() {
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true
}
trap stop_sim EXIT

# tlx-sim writes the file once its links are up.
for _ in $(seq 100); do
  [ -s "$ENV_FILE" ] && break
  kill -0 "$SIM_PID" 2>/dev/null || { echo "run-demo: tlx-sim ended, see $RUN/sim.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ENV_FILE" ] || { echo "run-demo: tlx-sim did not come up, see $RUN/sim.log" >&2; exit 1; }

# NAME=value lines: TLX_SERIAL_PATH (port 1 -> the pty), the stand-in's
# socket, and LD_LIBRARY_PATH to the stand-in so HID reaches the terminal.
while IFS= read -r line; do
  case "$line" in
    ''|'#'*) continue ;;
    *=*) export "${line%%=*}=${line#*=}" ;;
  esac
done <"$ENV_FILE"

args=()
[ -n "$TOUR" ] && args=(--tour "$TOUR")
echo "run-demo: virtual terminal up (log: $RUN/sim.log); demo in $RUN"
cd "$RUN"
status=0
if [ -n "${DISPLAY:-}" ]; then
  "$DEMO" "${args[@]}" || status=$?
else
  xvfb-run -a -s "-screen 0 1280x1024x24" "$DEMO" "${args[@]}" || status=$?
fi
[ -n "$TOUR" ] && echo "run-demo: tour pictures in $TOUR"
exit "$status"

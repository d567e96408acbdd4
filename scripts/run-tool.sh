#!/usr/bin/env bash
# Runs TLX_Tool against the virtual terminal.
#   scripts/run-tool.sh BUILD_DIR
# The terminal (tlx-sim) runs in the background for as long as the tool is
# open. The tool works in BUILD_DIR/run-tool, which holds the library it binds
# ("./libtlxdev.so") and the files its tests read ("info.txt" for the
# information test, "hwBack.pdf" for the signature, "ad.jpg" to download).
# The link is USB HID (port 0) through the libusb stand-in; port 1 is the
# terminal's serial line. Without a display the tool runs on a virtual one
# (Xvfb). Ctrl-C ends the tool, the terminal and the virtual display.
set -euo pipefail

BUILD=$(cd "${1:?usage: run-tool.sh BUILD_DIR}" && pwd)
SIM=$BUILD/sim/program/tlx-sim
TOOL=$BUILD/tool/TLX_Tool
LIB=$BUILD/sdk/libtlxdev.so
RUN=$BUILD/run-tool

for f in "$SIM" "$TOOL" "$LIB"; do
  [ -e "$f" ] || { echo "run-tool: $f is missing; build first" >&2; exit 1; }
done

NAME=run-tool
. "$(dirname "$0")/sim-session.sh"
prepare_run_dir
start_sim

echo "run-tool: virtual terminal up (log: $RUN/sim.log); tool in $RUN"
run_gui "$TOOL"
exit "$STATUS"

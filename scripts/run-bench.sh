#!/usr/bin/env bash
# Runs tlx-bench against the in-process virtual terminal.
# Usage: scripts/run-bench.sh BUILD_DIR [ROUNDS] [--paced]
#        scripts/run-bench.sh BUILD_DIR --service
#        scripts/run-bench.sh BUILD_DIR --probe [LINES]
#   --paced: transfers on a terminal that keeps the real line's pace, each
#            figure beside the line's ceiling (takes about three minutes)
#   --service: what the terminal service tlxd adds to a call (median, p99)
#            beside the direct call, and the calls per second of 50 clients
#   --probe: how long tlxctl probe takes on LINES (default 4) silent serial
#            lines, and on one
set -euo pipefail
BUILD=${1:?usage: run-bench.sh BUILD_DIR [ROUNDS] [--paced]}
shift
BUILD=$(cd "$BUILD" && pwd)
if [ "${1:-}" = "--probe" ]; then
  shift
  exec "$BUILD/bench/tlx-probe-bench" "$@"
fi
BENCH="$BUILD/bench/tlx-bench"
if [ ! -x "$BENCH" ]; then
  cmake --build "$BUILD" --target tlx-bench -j2
fi
# The libusb stand-in must come before the system libusb so that port 0
# reaches the virtual terminal.
STANDIN=$(dirname "$(find "$BUILD/sim/usbstub" -name 'libusb-1.0.so*' | head -n1)")
export LD_LIBRARY_PATH="$STANDIN${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
if [ "${1:-}" = --service ]; then
  exec "$BUILD/bench/tlxd-bench" "$BUILD/tlxd/tlxd"
fi
exec "$BENCH" "$@"

#!/usr/bin/env bash
# Runs the virtual terminal in the foreground.
#   scripts/run-sim.sh BUILD_DIR [tlx-sim options]
# It prints the export lines a host process needs, then one log line per
# command and answer; Ctrl-C ends it and removes its socket and links.
set -euo pipefail
BUILD=$(cd "${1:?usage: run-sim.sh BUILD_DIR [options]}" && pwd)
shift
SIM=$BUILD/sim/program/tlx-sim
[ -x "$SIM" ] || { echo "run-sim: $SIM is missing; build first" >&2; exit 1; }
exec "$SIM" "$@"

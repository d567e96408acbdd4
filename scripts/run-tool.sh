#!/usr/bin/env bash
# Runs TLX_Tool against the virtual terminal.
#   scripts/run-tool.sh BUILD_DIR
# The terminal (tlx-sim) runs in the background for as long as the tool is
# open. The tool works in BUILD_DIR/run-tool, which holds the library it binds
# ("./libtlxdev.so") and the files its tests read ("info.txt" for the
# information test, "hwBack.pdf" for the signature, "ad.jpg" to download).
# The link is USB HID (port 0) through the libusb stand-in; port 1 is the
# terminal's serial line. Without a display the tool runs under Xvfb.
set -euo pipefail

BUILD=$(cd "${1:?usage: run-tool.sh BUILD_DIR}" && pwd)
SIM=$BUILD/sim/program/tlx-sim
TOOL=$BUILD/tool/TLX_Tool
LIB=$BUILD/sdk/libtlxdev.so
RUN=$BUILD/run-tool

for f in "$SIM" "$TOOL" "$LIB"; do
  [ -e "$f" ] || { echo "run-tool: $f is missing; build first" >&2; exit 1; }
done

mkdir -p "$RUN"
ln -sfn "$LIB" "$RUN/libtlxdev.so"
# Sample inputs; edited copies are kept.
[ -f "$RUN/info.txt" ] || printf '尊敬的客户，请确认本次业务信息。\n业务类型：转账\n金额：100.00元\n' >"$RUN/info.txt"
[ -f "$RUN/hwBack.pdf" ] || printf '%%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%%%EOF\n' >"$RUN/hwBack.pdf"
[ -f "$RUN/ad.jpg" ] || head -c 4096 /dev/urandom >"$RUN/ad.jpg"

ENV_FILE=$RUN/sim.env
rm -f "$ENV_FILE"
"$SIM" --env-file "$ENV_FILE" >"$RUN/sim.log" 2>&1 &
SIM_PID=$!
stop_sim() {
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true
}
trap stop_sim EXIT

# The terminal writes the file once its links are up.
for _ in $(seq 100); do
  [ -s "$ENV_FILE" ] && break
  kill -0 "$SIM_PID" 2>/dev/null || { echo "run-tool: tlx-sim ended, see $RUN/sim.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ENV_FILE" ] || { echo "run-tool: tlx-sim did not come up, see $RUN/sim.log" >&2; exit 1; }

# NAME=value lines: TLX_SERIAL_PATH, the stand-in's socket, LD_LIBRARY_PATH.
while IFS= read -r line; do
  case "$line" in
    ''|'#'*) continue ;;
    *=*) export "${line%%=*}=${line#*=}" ;;
  esac
done <"$ENV_FILE"

echo "run-tool: virtual terminal up (log: $RUN/sim.log); tool in $RUN"
cd "$RUN"
status=0
if [ -n "${DISPLAY:-}" ]; then
  "$TOOL" || status=$?
else
  xvfb-run -a "$TOOL" || status=$?
fi
exit "$status"

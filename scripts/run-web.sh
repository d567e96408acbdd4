#!/usr/bin/env bash
# Runs tlxd, the terminal service, against the virtual terminal and serves
# the example teller page.
#   scripts/run-web.sh BUILD_DIR [--scripted] [--port N] [--url-file FILE]
# The terminal's window (TLX_Terminal) opens beside the browser: whoever
# sits at it enters the PIN, rates, types the amount and signs. --scripted
# runs the terminal without a window: its scripted customer answers. Without
# a display the window runs on a virtual one (Xvfb). The page's address
# (with the origin's token in its fragment) is printed, and written to FILE
# with --url-file. The terminal gets demonstration keys (master key 0, work
# key 0 active), so that the page can take a PIN block. Port: 47215 unless
# --port says (0: any free one). Ctrl-C ends tlxd, the terminal and the
# virtual display.
set -euo pipefail

usage() { echo "usage: run-web.sh BUILD_DIR [--scripted] [--port N] [--url-file FILE]" >&2; exit 2; }
[ $# -ge 1 ] || usage
BUILD=$(cd "$1" && pwd)
shift
SCRIPTED="" PORT=47215 URL_FILE=""
while [ $# -gt 0 ]; do
  case "$1" in
    --scripted) SCRIPTED=1; shift ;;
    --port) [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage; PORT=$2; shift 2 ;;
    --url-file) [ $# -ge 2 ] || usage; URL_FILE=$2; shift 2 ;;
    *) usage ;;
  esac
done
HERE=$(cd "$(dirname "$0")" && pwd)
TLXD=$BUILD/tlxd/tlxd
CTL=$BUILD/ctl/tlxctl
RUN=$BUILD/run-web
if [ -n "$SCRIPTED" ]; then
  SIM_PROGRAM=$BUILD/sim/program/tlx-sim
  SIM_ARGS=(--serial-ports 1)
else
  SIM_PROGRAM=$BUILD/sim/window/TLX_Terminal
  SIM_ARGS=(--serial-ports 1 --beside)
fi
for f in "$SIM_PROGRAM" "$TLXD" "$CTL"; do
  [ -e "$f" ] || { echo "run-web: $f is missing; build first" >&2; exit 1; }
done

NAME=run-web
. "$HERE/sim-session.sh"
mkdir -p "$RUN"
chmod 700 "$RUN"
[ -z "$SCRIPTED" ] && start_display "$SIM_PROGRAM"
start_sim "${SIM_ARGS[@]}"

# Demonstration keys: master key 0 (key1, key2) and work key 0 encrypted
# under it (3DES), then activated.
printf '0123456789ABCDEF\nFEDCBA9876543210\n' >"$RUN/master.keys"
chmod 600 "$RUN/master.keys"
{
  "$CTL" --port 0 master-key 0 "$RUN/master.keys" &&
    echo 22F740E7454351F3EF18FDED35DADF60 | "$CTL" --port 0 work-key 0 0 - &&
    "$CTL" --port 0 activate 0 0
} >"$RUN/keys.log" 2>&1 || { cat "$RUN/keys.log" >&2; echo "run-web: the demonstration keys did not load" >&2; exit 1; }

# The page and the service's configuration: the page's own origin ("self")
# is the one allowed, with a fresh token.
rm -rf "$RUN/www"
mkdir -p "$RUN/www"
cp "$HERE/../tlxd/web/"*.html "$HERE/../tlxd/web/"*.js "$HERE/../tlxd/web/"*.css "$RUN/www/"
TOKEN=$(head -c 24 /dev/urandom | base64 | tr '+/' '-_')
umask 077
# The socket in a short private directory (socket paths are limited to 107
# bytes, build directories are not).
SOCKDIR=$(mktemp -d "${TMPDIR:-/tmp}/tlxd-web.XXXXXX")
trap 'end_session; rm -rf "$SOCKDIR"' EXIT
cat >"$RUN/tlxd.conf" <<CONF
[service]
port = $PORT
unix_socket = $SOCKDIR/tlxd.sock
web_root = $RUN/www

[link]
port = 0

[origin self]
token = $TOKEN
CONF
rm -f "$RUN/tlxd.ready"
args=(--config "$RUN/tlxd.conf" --ready-file "$RUN/tlxd.ready")
[ "$(id -u)" -eq 0 ] && args+=(--allow-root)
"$TLXD" "${args[@]}" 2> >(tee "$RUN/tlxd.log" >&2) &
GUI_PID=$!
for _ in $(seq 100); do
  [ -s "$RUN/tlxd.ready" ] && break
  kill -0 "$GUI_PID" 2>/dev/null || break
  sleep 0.1
done
[ -s "$RUN/tlxd.ready" ] || { echo "run-web: tlxd did not come up, see $RUN/tlxd.log" >&2; exit 1; }
port=$(sed -n 's/^port=//p' "$RUN/tlxd.ready")
URL="http://127.0.0.1:$port/#token=$TOKEN"
[ -n "$URL_FILE" ] && { echo "$URL" >"$URL_FILE.tmp" && mv "$URL_FILE.tmp" "$URL_FILE"; }
if [ -z "$SCRIPTED" ]; then
  echo "run-web: the terminal's window answers (log: $RUN/sim.log)"
else
  echo "run-web: the scripted customer answers (log: $RUN/sim.log)"
fi
echo "run-web: open $URL"
STATUS=0
wait "$GUI_PID" || STATUS=$?
GUI_PID=""
exit "$STATUS"

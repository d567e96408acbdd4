#!/usr/bin/env bash
# For CI on a fresh machine (as root, or with sudo): installs the amd64 packages from DIST
# with apt, checks what an integrator meets on the system, and removes them
# again:
#   - pkg-config and find_package(tlxdev) find the library without any path
#     given; consumers built both ways run against the installed virtual
#     terminal over USB and the serial line, loading the system's
#     libtlxdev.so.1;
#   - the launchers start both programs (the demo's tour; the loop tool
#     stays up until stopped) and the udev rule is in place.
#   packaging/check-installed.sh DIST
set -euo pipefail

DIST=$(cd "${1:?usage: check-installed.sh DIST}" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
CONSUMER=$HERE/../tests/install/consumer
fail() { echo "check-installed: $*" >&2; exit 1; }
as_root() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }
step() { echo "== $*"; }

arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
debs=("$DIST"/libtlxdev1_*_"$arch".deb "$DIST"/libtlxdev-dev_*_"$arch".deb "$DIST"/tlx-tools_*_"$arch".deb)
work=$(mktemp -d "${TMPDIR:-/tmp}/tlx-installed.XXXXXX")
cleanup() {
  [ -n "${sim:-}" ] && { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true; }
  as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq libtlxdev1 libtlxdev-dev tlx-tools >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

step "apt install ${debs[*]##*/}"
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt could not install the packages"; }

step "the installed files"
[ -f /usr/lib/udev/rules.d/70-tlxdev.rules ] || fail "the udev rule is missing"
for id in 2fb0:0101 2fb0:0102 0483:5750; do
  grep -q "ATTR{idVendor}==\"${id%:*}\", ATTR{idProduct}==\"${id#*:}\".*uaccess" /usr/lib/udev/rules.d/70-tlxdev.rules ||
    fail "the udev rule does not cover $id"
done
command -v tlx-demo >/dev/null && command -v tlx-tool >/dev/null || fail "the launchers are not on the PATH"
ver=$(pkg-config --modversion tlxdev) || fail "pkg-config does not find tlxdev"
echo "pkg-config: tlxdev $ver: $(pkg-config --cflags --libs tlxdev)"

step "consumers"
# shellcheck disable=SC2046
cc -Wall -Wextra -Werror -o "$work/consumer-pc" "$CONSUMER/consumer.c" $(pkg-config --cflags --libs tlxdev)
cmake -S "$CONSUMER" -B "$work/consumer-cmake" -DCMAKE_BUILD_TYPE=Release >"$work/cmake.log" 2>&1 &&
  cmake --build "$work/consumer-cmake" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "the find_package consumer did not build"; }

/usr/lib/tlx-tools/tlx-sim --serial-ports 1 --env-file "$work/sim.env" >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do [ -s "$work/sim.env" ] && break; sleep 0.1; done
[ -s "$work/sim.env" ] || { cat "$work/sim.log"; fail "the installed virtual terminal did not come up"; }
for consumer in "$work/consumer-pc" "$work/consumer-cmake/consumer"; do
  for port in 0 1; do
    out=$(set -a; . "$work/sim.env"; set +a; "$consumer" $port) || { echo "$out"; fail "$consumer failed on port $port"; }
    grep -qx "library /usr/lib/$multiarch/libtlxdev.so.$ver" <<<"$out" ||
      { echo "$out"; fail "$consumer did not load the system's library"; }
    echo "$(basename "$consumer") port $port: $(grep '^online' <<<"$out")"
  done
done
kill "$sim"; wait "$sim" 2>/dev/null || true; sim=

step "launchers"
export HOME=$work/home XDG_DATA_HOME=
mkdir -p "$HOME"
tlx-demo --help | grep -q -- '--sim' || fail "tlx-demo --help says nothing of --sim"
xvfb-run -a -s "-screen 0 1280x1024x24" tlx-demo --sim --tour "$work/tour" >"$work/demo.log" 2>&1 ||
  { cat "$work/demo.log"; fail "the demo's tour failed"; }
tail -n 1 "$work/demo.log"
# The loop tool has no tour: it must come up and stay up until stopped.
status=0
timeout 8 xvfb-run -a -s "-screen 0 1280x1024x24" tlx-tool --sim >"$work/tool.log" 2>&1 || status=$?
[ $status = 124 ] || { cat "$work/tool.log"; fail "the loop tool ended by itself ($status)"; }
[ -L "$HOME/.local/share/tlx/tool/libtlxdev.so" ] && [ -f "$HOME/.local/share/tlx/tool/ad.jpg" ] ||
  fail "the tool's working directory was not prepared"
grep -q ready "$HOME/.local/share/tlx/tool/sim.log" || fail "the tool's virtual terminal did not come up"
echo "check-installed: ok"

#!/usr/bin/env bash
# Which files of the library one call runs through, and how many of their
# lines: builds libtlxdev with line coverage in its own build folder, calls
# TLX_GetVer a few times against the virtual terminal (USB and serial, with
# the wire trace off and on) and lists every library file, source or
# header, with a line that ran on each call. Lines that ran only once (the
# load hooks, first-use set-up) are not counted.
#
#   scripts/call-path.sh [BUILD_DIR]     (default: build-callpath)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-callpath}
calls=5

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTLX_BUILD_GUI=OFF \
  -DTLX_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_C_FLAGS="--coverage -O0" \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j2 --target tlxdev tlx-sim tlxusbstub >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/driver.c" <<'EOF'
#include <stdio.h>
#include <stdlib.h>
#include "tlxdev.h"
int main(int argc, char** argv) {
  int port = atoi(argv[1]), calls = atoi(argv[2]);
  for (int i = 0; i < calls; ++i) {
    char version[TLX_VERSION_SIZE] = {0};
    int rc = TLX_GetVer(port, 0, 9600, version);
    if (rc != 0) { fprintf(stderr, "TLX_GetVer(port %d) = %d\n", port, rc); return 1; }
  }
  return 0;
}
EOF
cc -o "$work/driver" "$work/driver.c" -I"$here/sdk/include" -I"$build/sdk/include" \
  -L"$build/sdk" -ltlxdev -Wl,-rpath,"$build/sdk"

"$build/sim/program/tlx-sim" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do grep -q '^ *env ' "$work/sim.out" && break; sleep 0.1; done
envline=$(grep -m1 '^ *env ' "$work/sim.out") || { cat "$work/sim.out" >&2; exit 1; }
read -r -a simenv <<<"${envline#*env }"
vars=()
for word in "${simenv[@]}"; do [[ $word == *=* ]] && vars+=("$word") || break; done

objdir=$(find "$build/sdk" -name '*.gcno' -printf '%h\n' | sort -u)

# gcov's JSON for every object of the library, into a file.
gcov_json() {
  (cd "$work" && for d in $objdir; do
     for g in "$d"/*.gcda; do [ -e "$g" ] && gcov --json-format --stdout "$g" 2>/dev/null; done
   done) >"$1"
}

# The driver runs twice, with $calls and with twice as many calls: a line
# that runs more often the second time runs on every call, while the load
# hooks and first-use set-up run as often both times.
run_case() {
  local title=$1 port=$2 trace=$3 n
  local extra=()
  [ "$trace" = on ] && extra=(TLX_TRACE="$work/trace.log")
  for n in "$calls" $((2 * calls)); do
    find "$build/sdk" -name '*.gcda' -delete
    env "${vars[@]}" "${extra[@]}" "$work/driver" "$port" "$n"
    gcov_json "$work/gcov.$n.json"
  done
  echo "$title"
  python3 "$here/scripts/call-path-count.py" "$work/gcov.$calls.json" \
    "$work/gcov.$((2 * calls)).json" "$here"
}

run_case "TLX_GetVer over USB (port 0), trace off:" 0 off
run_case "TLX_GetVer over USB (port 0), trace on:" 0 on
run_case "TLX_GetVer over serial (port 1), trace off:" 1 off
run_case "TLX_GetVer over serial (port 1), trace on:" 1 on

#!/usr/bin/env bash
# One run at a time per run folder: while a `./tlx demo` (or `./tlx tool`)
# holds its folder, a second run is refused with a line that says so,
# before it touches the first run's settings, environment file or logs.
#   run_dir_lock.sh REPOSITORY
set -euo pipefail
repo=$1
tmp=$(mktemp -d)
holder=""
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null && wait "$holder" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A build tree whose programs do nothing: the check comes before any of
# them runs.
build=$tmp/build
for f in sim/program/tlx-sim sim/window/TLX_Terminal demo/TLX_Demo tool/TLX_Tool sdk/libtlxdev.so; do
  mkdir -p "$(dirname "$build/$f")"
  printf '#!/bin/sh\nexit 0\n' >"$build/$f"
  chmod +x "$build/$f"
done

for kind in demo tool; do
  run=$build/run-$kind
  mkdir -p "$run"
  printf '[com]\nport=1\nbp=0\nbaud=115200\n' >"$run/config.ini"
  echo "TLX_SERIAL_PATH=/first/run%d" >"$run/sim.env"
  echo "first run's log" >"$run/sim.log"
  before=$(cat "$run/config.ini" "$run/sim.env" "$run/sim.log")

  # The first run holds the folder.
  (exec 8>>"$run/.lock" && flock 8 && exec sleep 60) &
  holder=$!
  for _ in $(seq 50); do
    flock -n "$run/.lock" true 2>/dev/null || break
    sleep 0.1
  done
  flock -n "$run/.lock" true 2>/dev/null && fail "the stand-in first run does not hold the lock"

  args=()
  [ "$kind" = demo ] && args=(--scripted)
  status=0
  out=$(env -u DISPLAY "$repo/scripts/run-$kind.sh" "$build" "${args[@]}" 2>&1) || status=$?
  [ "$status" -eq 1 ] || fail "second $kind run: exit $status, not 1: $out"
  [ "$out" = "run-$kind: another run is using $run (its settings, logs and terminal); end it first" ] ||
    fail "second $kind run said: $out"
  [ "$(cat "$run/config.ini" "$run/sim.env" "$run/sim.log")" = "$before" ] ||
    fail "the second $kind run changed the first run's files"

  kill "$holder"
  wait "$holder" 2>/dev/null || true
  holder=""
  # Once the first run has ended the folder is free again: a run gets past
  # the check (and ends at the stand-in terminal that never comes up).
  status=0
  out=$(env -u DISPLAY "$repo/scripts/run-$kind.sh" "$build" "${args[@]}" 2>&1) || status=$?
  case "$out" in
    *"another run is using"*) fail "$kind run refused after the first one ended: $out" ;;
  esac
  [ "$status" -ne 0 ] || fail "the stand-in terminal should have ended the $kind run"
done
echo "run folders: a second run is refused while the first holds its folder"

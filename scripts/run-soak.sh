#!/usr/bin/env bash
# Runs the soak scenarios of tlx-soak, each in the build that proves most
# about it: the hostile terminal under AddressSanitizer and
# UndefinedBehaviorSanitizer (a report stops the run), the cancel storm
# under ThreadSanitizer, the others (timing, descriptors, memory, processes)
# in the plain build. --short runs the bounded pass of CI, all in the plain
# build.
# Usage: scripts/run-soak.sh ROOT [--short] [hostile|cancel|unplug|resources|twoproc]...
set -euo pipefail
ROOT=$(cd "${1:?usage: run-soak.sh ROOT [--short] [NAME...]}" && pwd)
shift
short=""
names=()
for a in "$@"; do
  case "$a" in
    --short) short=--short ;;
    *) names+=("$a") ;;
  esac
done
[ ${#names[@]} -gt 0 ] || names=(hostile cancel unplug resources twoproc)

# build_dir NAME: the build directory of a scenario.
build_dir() {
  if [ -n "$short" ]; then echo build; return; fi
  case "$1" in
    hostile) echo build-san-address-undefined ;;
    cancel) echo build-san-thread ;;
    *) echo build ;;
  esac
}

prepare() {
  local dir=$1 args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr)
  case "$dir" in
    build-san-address-undefined) args+=(-DTLX_SANITIZE=address,undefined) ;;
    build-san-thread) args+=(-DTLX_SANITIZE=thread) ;;
  esac
  cmake -S "$ROOT" -B "$ROOT/$dir" "${args[@]}" >/dev/null
  cmake --build "$ROOT/$dir" -j "$(nproc)" --target tlx-soak tlxusbstub
}

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
failed=0
for name in "${names[@]}"; do
  dir=$(build_dir "$name")
  prepare "$dir"
  standin=$(dirname "$(find "$ROOT/$dir/sim/usbstub" -name 'libusb-1.0.so*' | head -n1)")
  echo "::: soak $name ($dir)"
  t0=$SECONDS
  if ! LD_LIBRARY_PATH="$standin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
      "$ROOT/$dir/soak/tlx-soak" $short "$name"; then
    failed=1
  fi
  echo "::: soak $name: $((SECONDS - t0)) s"
done
exit $failed

#!/usr/bin/env bash
# The launchers' refusals, on a tree laid out as installed with a stand-in
# for the program: a working folder of another user's or one that others
# may write to, and the demo's tour without the virtual terminal.
#   launcher_check.sh LAUNCHER TLX_LAUNCH_SH BIN_TO_PRIVATE BIN_TO_LIBDIR
set -uo pipefail
launcher=$1 launch=$2 to_private=$3 to_lib=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
bin=$root/usr/bin
mkdir -p "$bin" "$bin/$to_private" "$bin/$to_lib" "$root/home"
cp "$launcher" "$bin/tlx-demo"
cp "$launch" "$bin/$to_private/tlx-launch.sh"
: >"$bin/$to_lib/libtlxdev.so.1"
printf '#!/bin/sh\necho "program ran in $PWD"\n' >"$bin/$to_private/TLX_Demo"
chmod +x "$bin/tlx-demo" "$bin/$to_private/TLX_Demo"

failed=0
# expect WHAT STATUS(ok|refused) TEXT args...: runs the launcher.
expect() {
  local what=$1 want=$2 text=$3 out rc=0
  shift 3
  out=$(HOME=$root/home "$bin/tlx-demo" "$@" 2>&1) || rc=$?
  if [ "$want" = ok ]; then
    if [ $rc -ne 0 ] || [[ $out != *"program ran in"* ]]; then
      echo "FAIL $what: expected the program to run (status $rc): $out"; failed=1; return
    fi
  else
    if [ $rc -eq 0 ] || [[ $out == *"program ran"* ]] || [[ $out != *"$text"* ]]; then
      echo "FAIL $what: expected a refusal naming '$text' (status $rc): $out"; failed=1; return
    fi
  fi
  echo "ok   $what"
}

work=$root/home/work
expect "a new working folder" ok "" --workdir "$work"
[ "$(stat -c %U "$work")" = "$(id -un)" ] || { echo "FAIL the new folder is not the user's"; failed=1; }
chmod 0777 "$work"
expect "a folder everyone may write to" refused "others may write" --workdir "$work"
chmod 0775 "$work"
expect "a folder the group may write to" refused "others may write" --workdir "$work"
chmod 0755 "$work"
expect "the folder made private again" ok "" --workdir "$work"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$work"
  expect "a folder of another user's" refused "belongs to another user" --workdir "$work"
  chown root "$work"
else
  echo "skip a folder of another user's (needs root to make one)"
fi
expect "the tour without the virtual terminal" refused "only against the virtual terminal" \
  --workdir "$work" --tour "$root/tour"
[ ! -e "$root/tour" ] || { echo "FAIL the refused tour made its folder"; failed=1; }
exit $failed

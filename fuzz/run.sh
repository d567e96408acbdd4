#!/usr/bin/env bash
# Runs every fuzz target (or those named) for SECONDS each, starting from
# the committed seeds; new inputs go into BUILD_DIR/corpus/<target>, crash
# inputs into BUILD_DIR/artifacts/. Prints the executions per target and
# exits non-zero when a target found a fault.
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
build=$1 seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply_checks hex gbk names pull commands trace ctl)
mkdir -p "$build/artifacts"
failed=0
printf '%-14s %12s %10s %8s  %s\n' target executions per_s corpus result
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  mkdir -p "$work"
  log="$build/fuzz_$t.log"
  rc=0
  "$build/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -dict="$here/dict/terminal.dict" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/${t}-" "$work" "$here/seeds/$t" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  persec=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  corpus=$(find "$work" -type f | wc -l)
  result=ok
  if [ "$rc" -ne 0 ]; then
    result="FAULT (see $log)"
    failed=1
  fi
  printf '%-14s %12s %10s %8s  %s\n' "$t" "${execs:-?}" "${persec:-?}" "$corpus" "$result"
done
exit $failed

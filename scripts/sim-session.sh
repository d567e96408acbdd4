# Shared steps of the scripts that run a program against the virtual
# terminal: sourced, not run. The caller sets NAME (for messages), BUILD and
# RUN (the program's run directory).

# Run directory with the library the programs bind ("./libtlxdev.so") and
# the sample inputs of their default paths; edited copies are kept.
prepare_run_dir() {
  mkdir -p "$RUN"
  ln -sfn "$BUILD/sdk/libtlxdev.so" "$RUN/libtlxdev.so"
  [ -f "$RUN/info.txt" ] || printf '尊敬的客户，请确认本次业务信息。\n业务类型：转账\n金额：100.00元\n' >"$RUN/info.txt"
  [ -f "$RUN/hwBack.pdf" ] || printf '%%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%%%EOF\n' >"$RUN/hwBack.pdf"
  return 0
}

# Starts tlx-sim (or the program in SIM_PROGRAM that takes its options, the
# terminal window TLX_Terminal) in the background with the given options,
# stops it when the calling script exits, and exports the environment it
# writes:
# TLX_SERIAL_PATH (port 1 -> its pseudo-terminal), the stand-in's socket,
# and LD_LIBRARY_PATH to the libusb stand-in so port 0 reaches it.
start_sim() {
  local env_file=$RUN/sim.env
  rm -f "$env_file"
  "${SIM_PROGRAM:-$BUILD/sim/program/tlx-sim}" "$@" --env-file "$env_file" >"$RUN/sim.log" 2>&1 &
  SIM_PID=$!
  trap stop_sim EXIT
  # tlx-sim writes the file once its links are up.
  for _ in $(seq 100); do
    [ -s "$env_file" ] && break
    kill -0 "$SIM_PID" 2>/dev/null || { echo "$NAME: the virtual terminal ended, see $RUN/sim.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$env_file" ] || { echo "$NAME: the virtual terminal did not come up, see $RUN/sim.log" >&2; exit 1; }
  local line
  while IFS= read -r line; do
    case "$line" in
      ''|'#'*) continue ;;
      *=*) export "${line%%=*}=${line#*=}" ;;
    esac
  done <"$env_file"
}

stop_sim() {
  kill "$SIM_PID" 2>/dev/null || true
  wait "$SIM_PID" 2>/dev/null || true
}

# Runs a GUI program in the run directory, under Xvfb when there is no
# display; sets STATUS to its exit code.
run_gui() {
  STATUS=0
  cd "$RUN"
  if [ -n "${DISPLAY:-}" ]; then
    "$@" || STATUS=$?
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@" || STATUS=$?
  fi
}

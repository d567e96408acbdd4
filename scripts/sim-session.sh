# Shared steps of the scripts that run a program against the virtual
# terminal: sourced, not run. The caller sets NAME (for messages), BUILD and
# RUN (the program's run directory). Whatever the session started (the
# program, tlx-sim, Xvfb) ends with the script, also on Ctrl-C.

SIM_PID=""
XVFB_PID=""
GUI_PID=""

end_session() {
  local pid
  # The program first, then the terminal it talks to, then its display.
  for pid in "$GUI_PID" "$SIM_PID" "$XVFB_PID"; do
    [ -z "$pid" ] && continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  GUI_PID="" SIM_PID="" XVFB_PID=""
  return 0
}
interrupted() {
  echo "$NAME: stopped" >&2
  exit 130
}
trap end_session EXIT
trap interrupted INT TERM HUP

# Run directory with the library the programs bind ("./libtlxdev.so") and
# the sample inputs of their default paths (the ones the packages install);
# edited copies are kept. One run at a time: the run holds a lock on the
# directory (its programs inherit it), and a second run is refused before it
# touches anything there (settings, environment file, logs).
prepare_run_dir() {
  local samples f
  samples=$(cd "$(dirname "${BASH_SOURCE[0]}")/../packaging/samples" && pwd)
  mkdir -p "$RUN"
  exec 9>>"$RUN/.lock"
  if ! flock -n 9; then
    echo "$NAME: another run is using $RUN (its settings, logs and terminal); end it first" >&2
    exit 1
  fi
  ln -sfn "$BUILD/sdk/libtlxdev.so" "$RUN/libtlxdev.so"
  for f in info.txt hwBack.pdf ad.jpg photo.jpg; do
    [ -f "$RUN/$f" ] || cp "$samples/$f" "$RUN/$f"
  done
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
  # In a session of its own, so that Ctrl-C reaches only this script, which
  # then ends everything in order.
  setsid "${SIM_PROGRAM:-$BUILD/sim/program/tlx-sim}" "$@" --env-file "$env_file" >"$RUN/sim.log" 2>&1 &
  SIM_PID=$!
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

# Without a display, starts Xvfb on a free display number for the rest of
# the session and says so in one line naming the program ($1); HINT, when
# the caller sets it, goes into that line.
start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local number=$RUN/xvfb.display
  rm -f "$number"
  # The smallest screen the programs are laid out for (1366 x 768), so that
  # the virtual display shows what a small laptop shows.
  setsid Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$number" >"$RUN/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$number" ] || { echo "$NAME: Xvfb did not start, see $RUN/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(tr -dc 0-9 <"$number")"
  echo "$NAME: no display, so $(basename "$1") runs on a virtual one ($DISPLAY), out of sight${HINT:+; $HINT}; Ctrl-C ends it"
}

# Runs a GUI program in the run directory, on a virtual display when there
# is none; sets STATUS to its exit code.
run_gui() {
  STATUS=0
  cd "$RUN"
  start_display "$1"
  "$@" &
  GUI_PID=$!
  wait "$GUI_PID" || STATUS=$?
  GUI_PID=""
}

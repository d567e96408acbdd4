# Shared steps of the launchers of TLX_Demo and TLX_Tool; sourced, not run.
# The launcher sets TLX_PRIVATE (the programs' directory), TLX_LIBDIR (where
# libtlxdev.so.1 is) and TLX_DATA (sample inputs), then calls
#   tlx_launch NAME PROGRAM [arguments...]

tlx_die() {
  echo "tlx-$TLX_NAME: $*" >&2
  exit 1
}

tlx_usage() {
  cat <<USAGE
usage: tlx-$TLX_NAME [--sim [--scripted]] [--workdir DIR] [--] [$TLX_PROGRAM options]

Starts $TLX_PROGRAM in its working directory ($TLX_WORKDIR),
which holds the link to the installed library (libtlxdev.so), the sample
inputs (info.txt, hwBack.pdf, ad.jpg, photo.jpg) and the saved settings.

  --sim          talk to the virtual terminal instead of a real one: port 0
                 is its USB side, port 1 its serial line; its log is sim.log
                 in the working directory. For the demo it opens its
                 customer-side window (TLX_Terminal), where you answer as
                 the customer would; for the loop tool a scripted customer
                 answers
  --scripted     with --sim: the scripted customer answers, no window
  --workdir DIR  use DIR as the working directory (also: TLX_WORKDIR)
  -h, --help     this text

--tour (the demo's) needs --sim: it loads test keys. The working directory
must be the user's own and not writable by others. Without --sim the program
talks to the terminal on the port chosen in its settings: port 0 is USB (the udev rule of libtlxdev1 gives the logged-in
user access), port n the serial line /dev/ttyS(n-1) (members of the group
dialout may open it).
USAGE
}

# Working directory: the library link, the samples (kept once the user has
# edited them) and nothing else; settings are the program's own business.
tlx_prepare() {
  mkdir -p "$TLX_WORKDIR" || tlx_die "cannot create $TLX_WORKDIR"
  # The program binds ./libtlxdev.so from here and writes the customer's
  # signature here: a folder of another user's, or one others may write
  # to, could hand it a library of theirs or read what it writes.
  [ -O "$TLX_WORKDIR" ] || tlx_die "$TLX_WORKDIR belongs to another user; give --workdir DIR"
  [ -z "$(find "$TLX_WORKDIR" -maxdepth 0 -perm /022)" ] ||
    tlx_die "others may write to $TLX_WORKDIR; chmod go-w it or give --workdir DIR"
  [ -e "$TLX_LIBDIR/libtlxdev.so.1" ] || tlx_die "$TLX_LIBDIR/libtlxdev.so.1 is missing (package libtlxdev1)"
  ln -sfn "$TLX_LIBDIR/libtlxdev.so.1" "$TLX_WORKDIR/libtlxdev.so" ||
    tlx_die "cannot link the library into $TLX_WORKDIR"
  for f in info.txt hwBack.pdf ad.jpg photo.jpg; do
    if [ ! -e "$TLX_WORKDIR/$f" ] && [ -f "$TLX_DATA/samples/$f" ]; then
      cp "$TLX_DATA/samples/$f" "$TLX_WORKDIR/$f" && chmod u+w "$TLX_WORKDIR/$f"
    fi
  done
}

tlx_stop_sim() {
  if [ -n "${TLX_SIM_PID:-}" ]; then
    kill "$TLX_SIM_PID" 2>/dev/null
    wait "$TLX_SIM_PID" 2>/dev/null
    TLX_SIM_PID=
  fi
  [ -n "${TLX_SIM_RUN:-}" ] && rm -rf "$TLX_SIM_RUN"
  TLX_SIM_RUN=
}

# Starts the virtual terminal (tlx_start_sim PROGRAM [options]) and takes
# over the environment it writes: TLX_SERIAL_PATH for port 1, the
# stand-in's socket and LD_LIBRARY_PATH to the libusb stand-in for port 0,
# and TLX_VIRTUAL_TERMINAL, its run directory (which the demo's tour
# checks its link against).
# Its files persist in the working directory.
tlx_start_sim() {
  sim_program=$1
  shift
  TLX_SIM_RUN=$(mktemp -d "${TMPDIR:-/tmp}/tlx-$TLX_NAME.XXXXXX") || tlx_die "cannot create a temporary directory"
  trap tlx_stop_sim EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM HUP
  mkdir -p "$TLX_WORKDIR/virtual-terminal"
  "$TLX_PRIVATE/$sim_program" "$@" --serial-ports 1 --storage "$TLX_WORKDIR/virtual-terminal" \
    --env-file "$TLX_SIM_RUN/sim.env" >"$TLX_WORKDIR/sim.log" 2>&1 &
  TLX_SIM_PID=$!
  i=0
  while [ ! -s "$TLX_SIM_RUN/sim.env" ]; do
    kill -0 "$TLX_SIM_PID" 2>/dev/null || tlx_die "the virtual terminal ended, see $TLX_WORKDIR/sim.log"
    i=$((i + 1))
    [ $i -le 100 ] || tlx_die "the virtual terminal did not come up, see $TLX_WORKDIR/sim.log"
    sleep 0.1
  done
  set -a
  . "$TLX_SIM_RUN/sim.env"
  set +a
}

tlx_launch() {
  TLX_NAME=$1
  TLX_PROGRAM=$2
  shift 2
  if [ -z "${TLX_WORKDIR:-}" ]; then
    if [ -n "${XDG_DATA_HOME:-}" ]; then
      TLX_WORKDIR=$XDG_DATA_HOME/tlx/$TLX_NAME
    elif [ -n "${HOME:-}" ]; then
      TLX_WORKDIR=$HOME/.local/share/tlx/$TLX_NAME
    else
      tlx_die "neither XDG_DATA_HOME nor HOME is set; give --workdir DIR"
    fi
  fi
  sim=0
  scripted=0
  while [ $# -gt 0 ]; do
    case $1 in
      --sim) sim=1; shift ;;
      --scripted) scripted=1; shift ;;
      --workdir) [ $# -ge 2 ] || tlx_die "--workdir needs a directory"; TLX_WORKDIR=$2; shift 2 ;;
      --workdir=*) TLX_WORKDIR=${1#--workdir=}; shift ;;
      -h|--help) tlx_usage; exit 0 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  case $TLX_WORKDIR in /*) ;; *) TLX_WORKDIR=$PWD/$TLX_WORKDIR ;; esac

  # The program runs in its working directory: paths given on the command
  # line are made absolute first, so they still mean what the user typed.
  here=$PWD
  n=$#
  expect_path=0
  tour=
  while [ $n -gt 0 ]; do
    a=$1
    shift
    if [ $expect_path = 1 ]; then
      case $a in /*) ;; *) a=$here/$a ;; esac
      expect_path=0
      tour=$a
    elif [ "$a" = --tour ]; then
      expect_path=1
    fi
    set -- "$@" "$a"
    n=$((n - 1))
  done

  # The tour resets the keys and loads test keys: never on a real terminal.
  [ -n "$tour" ] && [ $sim = 0 ] && tlx_die "--tour runs only against the virtual terminal: add --sim"
  tlx_prepare
  if [ $sim = 0 ]; then
    cd "$TLX_WORKDIR" || tlx_die "cannot enter $TLX_WORKDIR"
    exec "$TLX_PRIVATE/$TLX_PROGRAM" "$@"
  fi
  # The demo meets the terminal's window, where the user answers; on the
  # tour the window shows what the scripted customer does and takes
  # pictures beside the demo's. The loop tool runs unattended: the scripted
  # customer answers.
  if [ $scripted = 1 ] || [ "$TLX_NAME" != demo ] || [ ! -x "$TLX_PRIVATE/TLX_Terminal" ]; then
    tlx_start_sim tlx-sim
  elif [ -n "$tour" ]; then
    mkdir -p "$tour"
    tlx_start_sim TLX_Terminal --scripted --pictures "$tour"
  else
    # The demo takes the left edge of the screen, the window the rest.
    tlx_start_sim TLX_Terminal --beside
    set -- --beside "$@"
  fi
  cd "$TLX_WORKDIR" || tlx_die "cannot enter $TLX_WORKDIR"
  status=0
  "$TLX_PRIVATE/$TLX_PROGRAM" "$@" || status=$?
  exit $status
}

#!/usr/bin/env bash
# Runs the link and command suites of a build inside a guest that boots
# Debian's kernel for the build's architecture under QEMU (see README.md
# beside this file).
#   tests/kernel/run.sh BUILD_DIR ARCH test [CTEST ARGS...]
#   tests/kernel/run.sh BUILD_DIR ARCH bench [ROUNDS]
#   tests/kernel/run.sh BUILD_DIR ARCH run PROGRAM [ARGS...]   one command in the guest
# ARCH: amd64 or arm64. Environment: TLX_KERNEL_CACHE (default
# $XDG_CACHE_HOME/tlx-kernel), TLX_KERNEL_ACCEL (tcg or kvm; default: kvm
# when a probe boots with it, else tcg), TLX_KERNEL_LIMIT (seconds the guest
# may live, default 1500).
set -euo pipefail
BUILD=$(cd "${1:?usage: run.sh BUILD_DIR ARCH test|bench|run ...}" && pwd)
ARCH=${2:?usage: run.sh BUILD_DIR ARCH test|bench|run ...}
MODE=${3:-test}
shift 3 || shift $#
HERE=$(cd "$(dirname "$0")" && pwd)
CACHE=${TLX_KERNEL_CACHE:-${XDG_CACHE_HOME:-${HOME:-$BUILD}/.cache}/tlx-kernel}
LIMIT=${TLX_KERNEL_LIMIT:-1500}
HOST_TOOL="$BUILD/tests/kernel/tlx-kernel-host"
[ -x "$HOST_TOOL" ] || { echo "tlx kernel: $HOST_TOOL is missing (build first)" >&2; exit 2; }

GUEST=$("$HERE/prepare.sh" "$ARCH" "$CACHE")
RUNDIR=$(mktemp -d /tmp/tlx-kernel-XXXXXX)
QEMU_PID="" SERVE_PID="" WATCHDOG_PID=""

# The serial lines: the library's UARTs (uartN) and, joined to each by the
# host tool's relay, the far end the virtual terminal serves (the guest's
# virtio port tlx.line.N, /dev/tlx-line-N).
case "$ARCH" in
  amd64)
    QEMU=(qemu-system-x86_64 -M pc -cpu max
      -serial chardev:uart0 -serial chardev:uart1)  # ttyS0, ttyS1: the PC's COM1, COM2
    LINES=2
    ;;
  arm64)
    QEMU=(qemu-system-aarch64 -M virt -cpu cortex-a57
      -serial chardev:uart2                                     # the PL011, ttyAMA0
      -device pci-serial-2x,chardev1=uart0,chardev2=uart1)      # 16550s, ttyS0 and ttyS1
    LINES=3
    ;;
  *) echo "tlx kernel: unknown architecture $ARCH" >&2; exit 2 ;;
esac

cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  if [ -n "$QEMU_PID" ] && kill -0 "$QEMU_PID" 2>/dev/null; then
    # A clean power-off through the agent, else QEMU is stopped.
    "$HOST_TOOL" run "$RUNDIR" -t 5 -C / -- /run/tlx-guest/busybox poweroff -f >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$QEMU_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$QEMU_PID" 2>/dev/null || true
    wait "$QEMU_PID" 2>/dev/null || true
  fi
  [ -z "$SERVE_PID" ] || { kill "$SERVE_PID" 2>/dev/null || true; wait "$SERVE_PID" 2>/dev/null || true; }
  [ ! -s "$RUNDIR/serve.log" ] || cat "$RUNDIR/serve.log" >&2  # bytes a UART did not take
  [ -z "$WATCHDOG_PID" ] || { kill "$WATCHDOG_PID" 2>/dev/null || true; wait "$WATCHDOG_PID" 2>/dev/null || true; }
  rm -rf "$RUNDIR"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# KVM only where it really runs a guest: the kernel must reach its panic
# (no init given) and QEMU end within 10 s. Remembered per host kernel.
accel() {
  if [ -n "${TLX_KERNEL_ACCEL:-}" ]; then echo "$TLX_KERNEL_ACCEL"; return; fi
  if [ "$ARCH" != amd64 ] || [ "$(uname -m)" != x86_64 ] || [ ! -w /dev/kvm ]; then echo tcg; return; fi
  local memo="$CACHE/kvm-$(uname -r)"
  if [ ! -f "$memo" ]; then
    if timeout -s KILL 10 qemu-system-x86_64 -M pc -accel kvm -m 256 -nodefaults -no-user-config \
        -display none -no-reboot -kernel "$GUEST/kernel" \
        -append "panic=-1 rdinit=/nonexistent" >/dev/null 2>&1; then
      echo kvm >"$memo"
    else
      echo tcg >"$memo"
    fi
  fi
  cat "$memo"
}

boot() {
  local accel
  accel=$(accel)
  local args=("${QEMU[@]}" -accel "$accel$([ "$accel" = tcg ] && echo ,thread=multi)"
    -m 1536 -smp 2 -nodefaults -no-user-config -display none -no-reboot
    -kernel "$GUEST/kernel" -initrd "$GUEST/initramfs.cpio"
    -append "console=hvc0 loglevel=4 panic=-1"
    -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot
    -device virtio-serial-pci,id=vs
    -chardev "file,id=console,path=$RUNDIR/console.log" -device virtconsole,chardev=console)
  local pairs=()
  for n in 0 1; do
    args+=(-chardev "socket,id=agent$n,path=$RUNDIR/agent$n.sock,server=on,wait=off"
      -device "virtserialport,chardev=agent$n,name=tlx.agent.$n")
  done
  for ((n = 0; n < LINES; n++)); do
    args+=(-chardev "socket,id=uart$n,path=$RUNDIR/uart$n.sock,server=on,wait=off"
      -chardev "socket,id=line$n,path=$RUNDIR/line$n.sock,server=on,wait=off"
      -device "virtserialport,chardev=line$n,name=tlx.line.$n")
    pairs+=("uart$n" "line$n")
  done
  local start
  start=$(date +%s%N)
  "${args[@]}" >"$RUNDIR/qemu.log" 2>&1 &
  QEMU_PID=$!
  "$HOST_TOOL" serve "$RUNDIR" 2 "${pairs[@]}" 2>"$RUNDIR/serve.log" &
  SERVE_PID=$!
  (
    trap 'kill "$nap" 2>/dev/null; exit 0' TERM
    sleep "$LIMIT" >/dev/null 2>&1 &
    nap=$!
    wait "$nap"
    echo "tlx kernel: the guest ran out of its $LIMIT s" >&2
    kill "$QEMU_PID"
  ) &
  WATCHDOG_PID=$!
  if ! "$HOST_TOOL" run "$RUNDIR" -t 120 -C / -- true; then
    echo "tlx kernel: the $ARCH guest did not come up; QEMU and console:" >&2
    cat "$RUNDIR/qemu.log" "$RUNDIR/console.log" >&2 || true
    exit 1
  fi
  BOOT_MS=$((($(date +%s%N) - start) / 1000000))
  echo "tlx kernel: $(cat "$GUEST/release") ($ARCH, $accel) up in $((BOOT_MS / 1000)).$(printf %03d $((BOOT_MS % 1000))) s"
}

# guest [OPTIONS --] PROGRAM ARGS: one command in the guest (options of
# tlx-kernel-host run: -e NAME=VALUE, -u NAME).
guest() {
  case " $* " in
    *" -- "*) "$HOST_TOOL" run "$RUNDIR" -t "${GUEST_LIMIT:-600}" -C "$BUILD" "$@" ;;
    *) "$HOST_TOOL" run "$RUNDIR" -t "${GUEST_LIMIT:-600}" -C "$BUILD" -- "$@" ;;
  esac
}

# The suites: the link layer's transport and session tests on the real
# UARTs; the HID link, the command tests on both links and the virtual
# terminal's HID cases with port 0 on its USB gadget (dummy_hcd) through
# the kernel and the real libusb (the stand-in out of LD_LIBRARY_PATH); the
# gadget's own tests. Every one of them uses the serial lines or the USB
# controllers: one at a time.
SELECT='^(link_transport_test|link_session_test|link_hid_test|commands_[a-z_]+_test|sim_links_test|usb_gadget_test)$'
LOCKED=$SELECT
# sim_links_test: its HID cases only, less two of the stand-in's own
# semantics (its vanished device is missing from one list only; it drops
# answers due after the host closed its handle, which a real device cannot
# see).
PICK_SIM='^(HidLinkTest|PullOverHidTest)\\.|^DownloadOverLinksTest\\.Hid'

write_passes() {
  {
    echo "set(HOST \"$HOST_TOOL\")"
    echo "set(RUNDIR \"$RUNDIR\")"
    echo "set(SELECT \"$SELECT\")"
    echo "set(LOCKED \"$LOCKED\")"
    echo "set(EXCLUDED \"$HERE/excluded-tests\")"
    echo "set(PICK_sim_links_test \"$PICK_SIM\")"
    echo 'set(UNSET LD_LIBRARY_PATH)'
    if [ "$ARCH" = amd64 ]; then
      echo 'set(PASSES uart)'
      echo 'set(PASS_uart_PREFIX "")'
      echo 'set(PASS_uart_ENV "TLXSIM_SERIAL_DEVICES=/dev/tlx-line-0,/dev/tlx-line-1;TLX_SIM_USB=gadget")'
      echo 'set(PASS_uart_ONLY "")'
    else
      # The 16550s under their default names, then the PL011 through
      # TLX_SERIAL_PATH (serial tests only; the virt machine has one).
      echo 'set(PASSES s16550 pl011)'
      echo 'set(PASS_s16550_PREFIX "")'
      echo 'set(PASS_s16550_ENV "TLXSIM_SERIAL_DEVICES=/dev/tlx-line-0,/dev/tlx-line-1;TLX_SIM_USB=gadget")'
      echo 'set(PASS_s16550_ONLY "")'
      echo 'set(PASS_pl011_PREFIX "pl011:")'
      echo 'set(PASS_pl011_ENV "TLX_SERIAL_PATH=/dev/ttyAMA%d;TLXSIM_SERIAL_DEVICES=/dev/tlx-line-2;TLX_SIM_USB=gadget")'
      echo 'set(PASS_pl011_ONLY "^(SerialTransport|SessionTest|SerialTransfer)\\.|/Serial( |$)|^CommandTest\\.(PinEntryTimesOut|InteractionLibraryTimeouts)$")'
    fi
  } >"$RUNDIR/passes.cmake"
}

case "$MODE" in
  test)
    boot
    OUT="$BUILD/kernel-tests"
    rm -rf "$OUT"
    write_passes
    cmake -DBUILD="$BUILD" -DOUT="$OUT" -DCONFIG="$RUNDIR/passes.cmake" -P "$HERE/make_ctest.cmake"
    if [ -s "$OUT/excluded.txt" ]; then
      echo "tlx kernel: left out (tests/kernel/excluded-tests says why):"
      sed 's/^/  /' "$OUT/excluded.txt"
    fi
    cd "$OUT"
    # The guest is emulated on shared cores: a case that missed one of its
    # timing windows (made for a machine running natively) gets another go;
    # so does a serial case that met bytes QEMU's 16550 kept from the case
    # before (it keeps what arrives while the port is closed, a real UART
    # loses it).
    ctest -j "$(nproc)" --output-on-failure --repeat until-pass:3 "$@"
    ;;
  bench)
    boot
    guest -e TLXSIM_SERIAL_DEVICES=/dev/tlx-line-0,/dev/tlx-line-1 -e TLX_SIM_USB=gadget \
      -u LD_LIBRARY_PATH -- "$BUILD/bench/tlx-bench" --kernel "$@"
    ;;
  run)
    boot
    guest "$@"
    ;;
  *) echo "tlx kernel: unknown mode $MODE" >&2; exit 2 ;;
esac

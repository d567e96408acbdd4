#!/run/tlx-guest/busybox sh
# The test guest's agent (process 1 after the initramfs): serves every
# virtio port named tlx.agent.N, one command at a time on each. A request is
# "RUN <len>" and a shell script of <len> bytes; the answer is "OUT <len>",
# the script's output (standard output and error) and "EXIT <status>".
# The host's side is tests/kernel/kernel_host.c.
BB=/run/tlx-guest/busybox
G=/run/tlx-guest
GUEST_PATH=
# shellcheck disable=SC1091
[ -r $G/guest.conf ] && . $G/guest.conf
if [ "$FOREIGN" = 1 ]; then
  # The host's programs are of another architecture: the guest's busybox
  # stands in for the shell (system(), popen()) and the tools on PATH.
  GUEST_PATH=$G/bin:
  $BB ln -sf $G/busybox /usr/bin/sh
fi
export BB GUEST_PATH
export PATH=$G/bin:/usr/sbin:/usr/bin:/sbin:/bin

# Hotplug as on a desktop: libusb learns of USB devices through udev.
if [ "$FOREIGN" != 1 ] && [ -x /lib/systemd/systemd-udevd ]; then
  /lib/systemd/systemd-udevd --daemon && udevadm trigger --action=add && udevadm settle -t 10
fi
$BB ip link set lo up 2>/dev/null

serve_port() {
  dev=$1
  work=$G/work.$2
  $BB mkdir -p "$work"
  exec 3<>"$dev"
  while :; do
    # No host connected: the read ends at once; look again a little later.
    if ! read -r word len <&3; then
      $BB usleep 100000
      continue
    fi
    [ "$word" = RUN ] || continue
    $BB head -c "$len" <&3 >"$work/cmd"
    $BB sh "$work/cmd" >"$work/out" 2>&1 </dev/null
    rc=$?
    {
      echo "OUT $($BB wc -c <"$work/out")"
      $BB cat "$work/out"
      echo "EXIT $rc"
    } >&3
  done
}

# The far ends of the serial lines (the host joins each to a UART) get
# stable names; then an agent per port.
for p in /sys/class/virtio-ports/*; do
  name=$($BB cat "$p/name" 2>/dev/null)
  case "$name" in
    tlx.line.*) $BB ln -sf "${p##*/}" "/dev/tlx-line-${name#tlx.line.}" ;;
    tlx.agent.*) serve_port "/dev/${p##*/}" "${name#tlx.agent.}" & ;;
  esac
done
echo "tlx guest: agents ready, up $($BB cut -d' ' -f1 /proc/uptime) s"
while :; do
  wait
  $BB sleep 3600
done

#!/bin/busybox sh
# /init of the test guest's initramfs (busybox of the guest's architecture).
# Loads the modules the tests need, mounts the host's root (shared read-only
# over 9p) under a tmpfs overlay, so that the build tree's programs run at
# their own paths, and turns into the agent that runs the host's commands.
BB=/bin/busybox
$BB mkdir -p /proc /sys /dev /lower /rw /newroot
$BB mount -t proc proc /proc
$BB mount -t sysfs sysfs /sys
$BB mount -t devtmpfs devtmpfs /dev
# Until the console (hvc0) is there, messages go to the kernel's log.
exec >/dev/kmsg 2>&1 </dev/null

fail() {
  echo "tlx guest: $*"
  $BB sleep 1
  $BB poweroff -f
}

# MODULES (guest.conf): virtio first (the console hvc0 and the agents'
# ports live there), then the share of the host's root and its overlay,
# configfs, and dummy_hcd's USB host and device controllers with FunctionFS.
. /guest.conf
failed=
for m in $MODULES; do
  case "$m" in
    dummy_hcd) set -- num=2 ;;  # two USB controllers: two gadgets at once
    *) set -- ;;
  esac
  $BB modprobe "$m" "$@" || failed="$failed $m"
  if [ "$m" = virtio_console ]; then
    for i in 1 2 3 4 5 6 7 8 9 10; do [ -c /dev/hvc0 ] && break; $BB usleep 50000; done
    [ -c /dev/hvc0 ] && exec >/dev/hvc0 2>&1 </dev/null
  fi
done
echo "tlx guest: $($BB uname -r) $($BB uname -m), up $($BB cut -d' ' -f1 /proc/uptime) s"
[ -z "$failed" ] || echo "tlx guest: modules that did not load:$failed"
$BB mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 hostroot /lower ||
  fail "cannot mount the host's root"
$BB mount -t tmpfs -o mode=0755 tmpfs /rw
$BB mkdir -p /rw/upper /rw/work
$BB mount -t overlay overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /newroot ||
  fail "cannot mount the overlay"

R=/newroot
$BB mount -t proc proc $R/proc
$BB mount -t sysfs sysfs $R/sys
$BB mount -t devtmpfs devtmpfs $R/dev
$BB mkdir -p $R/dev/pts $R/dev/shm
$BB mount -t devpts -o ptmxmode=0666,mode=0620 devpts $R/dev/pts
$BB mount -t tmpfs -o mode=1777 tmpfs $R/dev/shm
$BB mount -t tmpfs -o mode=1777 tmpfs $R/tmp
$BB mount -t tmpfs -o mode=0755 tmpfs $R/run
$BB mount -t configfs configfs $R/sys/kernel/config

# The guest's own tools, for a guest whose architecture is not the host's.
G=$R/run/tlx-guest
$BB mkdir -p $G/bin
$BB cp /bin/busybox /agent.sh $G/
for a in $($BB --list); do $BB ln -sf ../busybox $G/bin/$a; done
$BB cp /guest.conf $G/ 2>/dev/null
$BB umount /proc /sys /dev 2>/dev/null
exec $BB switch_root /newroot /run/tlx-guest/busybox sh /run/tlx-guest/agent.sh

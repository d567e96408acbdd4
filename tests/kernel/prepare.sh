#!/usr/bin/env bash
# Prepares a test guest for ARCH (amd64 or arm64) in CACHE_DIR and prints the
# folder that holds it: Debian's kernel of the release (the package
# linux-image-ARCH depends on, fetched with apt-get download and unpacked,
# never installed), uncompressed for a quick boot under TCG, and an
# initramfs with busybox of that architecture, the modules the guest loads
# and its init and agent.
#   tests/kernel/prepare.sh ARCH CACHE_DIR
set -euo pipefail
ARCH=${1:?usage: prepare.sh ARCH CACHE_DIR}
CACHE=${2:?usage: prepare.sh ARCH CACHE_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)

# Modules the guest loads, in this order (with what they need): virtio
# devices and console, the 9p share of the host's root and its overlay,
# configfs, and dummy_hcd's USB host and device controllers with FunctionFS.
MODULES=(virtio_pci virtio_console 9pnet_virtio 9p overlay configfs dummy_hcd libcomposite usb_f_fs)

case "$ARCH" in
  amd64) SUFFIX="" ;;
  arm64) SUFFIX=":arm64" ;;
  *) echo "prepare.sh: unknown architecture $ARCH" >&2; exit 2 ;;
esac

# The kernel package of the release: what linux-image-ARCH depends on.
kernel_package() {
  apt-cache depends "linux-image-$ARCH$SUFFIX" 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^:]*\).*/\1/p' | head -n1
}
PKG=$(kernel_package)
if [ -z "$PKG" ]; then
  apt-get update -qq >&2
  PKG=$(kernel_package)
fi
[ -n "$PKG" ] || { echo "prepare.sh: no linux-image-$ARCH in the package lists" >&2; exit 1; }
KVER=${PKG#linux-image-}
VERSION=$(apt-cache policy "$PKG$SUFFIX" | sed -n 's/^ *Candidate: //p')
OUT="$CACHE/$ARCH/$KVER-$VERSION"
STAMP=$(cat "$HERE/guest-init.sh" "$HERE/agent.sh" "$0" | cksum | cut -d' ' -f1)
if [ -f "$OUT/ready" ] && [ "$(cat "$OUT/ready")" = "$STAMP" ]; then
  echo "$OUT"
  exit 0
fi

echo "tlx kernel: preparing the $ARCH guest ($PKG $VERSION)" >&2
rm -rf "$OUT"
mkdir -p "$OUT/unpack"
WORK=$(mktemp -d "$OUT/unpack/XXXXXX")
trap 'rm -rf "$OUT/unpack"' EXIT
(cd "$WORK" && apt-get download -q "$PKG$SUFFIX" >/dev/null 2>&1) ||
  (cd "$WORK" && apt-get update -qq && apt-get download -q "$PKG$SUFFIX" >/dev/null)
dpkg-deb -x "$WORK"/linux-image-*.deb "$WORK/root"
MODDIR="$WORK/root/lib/modules/$KVER"

# The kernel: arm64's is an uncompressed Image already; amd64's bzImage is
# unpacked (its xz payload), which QEMU boots through the PVH entry point,
# skipping the firmware's decompression (half of the boot time under TCG).
VMLINUZ="$WORK/root/boot/vmlinuz-$KVER"
if [ "$ARCH" = amd64 ]; then
  offset=$(LC_ALL=C grep -m1 -obUaP '\xfd\x37\x7a\x58\x5a\x00' "$VMLINUZ" | cut -d: -f1 | sed -n 1p)
  [ -n "$offset" ] || { echo "prepare.sh: no xz payload in $VMLINUZ" >&2; exit 1; }
  # (tail ends on SIGPIPE when xz has read the one stream it wants)
  { tail -c +$((offset + 1)) "$VMLINUZ" || :; } | xz -dc --single-stream >"$OUT/kernel"
else
  cp "$VMLINUZ" "$OUT/kernel"
fi

# busybox for the guest: the host's static one on amd64, Debian's arm64
# build unpacked (not installed) on arm64.
INITRD="$WORK/initrd"
mkdir -p "$INITRD/bin" "$INITRD/lib/modules/$KVER"
if [ "$ARCH" = amd64 ]; then
  cp /bin/busybox "$INITRD/bin/busybox"
  FOREIGN=0
else
  (cd "$WORK" && apt-get download -q "busybox-static$SUFFIX" >/dev/null 2>&1)
  dpkg-deb -x "$WORK"/busybox-static_*.deb "$WORK/busybox"
  cp "$WORK/busybox/bin/busybox" "$INITRD/bin/busybox"
  FOREIGN=1
fi

# The modules with everything they depend on (read from each module's
# .modinfo), plus a modules.dep for busybox's modprobe.
declare -A FILE_OF=() NEEDED=()
while IFS= read -r f; do
  name=$(basename "$f" .ko)
  FILE_OF[${name//-/_}]=$f
done < <(find "$MODDIR/kernel" -name '*.ko')
builtin=$(sed 's#.*/##; s#\.ko$##; s#-#_#g' "$MODDIR/modules.builtin")
add_module() {
  local m=${1//-/_} deps d
  [ -n "${NEEDED[$m]:-}" ] && return
  if [ -z "${FILE_OF[$m]:-}" ]; then
    grep -qx "$m" <<<"$builtin" && return
    echo "prepare.sh: module $m not found in $PKG" >&2
    exit 1
  fi
  NEEDED[$m]=1
  deps=$(tr '\0' '\n' <"${FILE_OF[$m]}" | sed -n 's/^depends=//p' | head -n1)
  for d in ${deps//,/ }; do add_module "$d"; done
}
LOAD=()
for m in "${MODULES[@]}"; do
  if [ -z "${FILE_OF[${m//-/_}]:-}" ] && grep -qx "${m//-/_}" <<<"$builtin"; then
    continue  # built into this kernel
  fi
  add_module "$m"
  LOAD+=("$m")
done
for m in "${!NEEDED[@]}"; do
  rel=${FILE_OF[$m]#"$MODDIR/"}
  mkdir -p "$INITRD/lib/modules/$KVER/$(dirname "$rel")"
  cp "${FILE_OF[$m]}" "$INITRD/lib/modules/$KVER/$rel"
done
cp "$MODDIR/modules.builtin" "$MODDIR/modules.order" "$INITRD/lib/modules/$KVER/"
busybox depmod -b "$INITRD" "$KVER"

cp "$HERE/guest-init.sh" "$INITRD/init"
cp "$HERE/agent.sh" "$INITRD/agent.sh"
chmod 755 "$INITRD/init" "$INITRD/agent.sh" "$INITRD/bin/busybox"
printf 'FOREIGN=%s\nMODULES="%s"\n' "$FOREIGN" "${LOAD[*]}" >"$INITRD/guest.conf"
(cd "$INITRD" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$OUT/initramfs.cpio"
echo "$KVER" >"$OUT/release"
echo "$STAMP" >"$OUT/ready"
echo "$OUT"

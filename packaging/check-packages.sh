#!/usr/bin/env bash
# Checks the Debian packages that `./tlx package` left in DIST:
#   - each package's file list (soname links, headers, pkg-config and CMake
#     files, udev rule, launchers, desktop files, private directory) and the
#     dependencies dpkg-shlibdeps found;
#   - lintian, which must report no errors;
#   - the packages of this machine's architecture unpacked into a scratch
#     root: the demo's launcher, pointed at nothing but that tree, runs the
#     demo's tour against the virtual terminal headless.
#   packaging/check-packages.sh DIST
set -euo pipefail

DIST=$(cd "${1:?usage: check-packages.sh DIST}" && pwd)
fail() { echo "check-packages: $*" >&2; exit 1; }
step() { echo "== $*"; }

version() { dpkg-deb -f "$1" Version; }

# expect DEB PATH...: every PATH (as dpkg-deb -c prints it, "./usr/...",
# "link -> target" for links) is in the package.
expect() {
  local deb=$1; shift
  local list
  list=$(dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }')
  for p in "$@"; do
    grep -qxF -- "$p" <<<"$list" || fail "$(basename "$deb") lacks $p"
  done
}

# refuse DEB REGEX: no file of the package matches.
refuse() {
  local deb=$1 re=$2
  if dpkg-deb -c "$deb" | awk '{print $6}' | grep -E -- "$re"; then
    fail "$(basename "$deb") holds files matching $re"
  fi
}

depends_on() {
  local deb=$1 dep=$2
  dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//' | grep -qE -- "^$dep" ||
    fail "$(basename "$deb") does not depend on $dep (Depends: $(dpkg-deb -f "$deb" Depends))"
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tlx-packages.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
checked=0
for arch in amd64 arm64; do
  case $arch in
    amd64) triplet=x86_64-linux-gnu ;;
    arm64) triplet=aarch64-linux-gnu ;;
  esac
  runtime=$(ls "$DIST"/libtlxdev1_*_"$arch".deb 2>/dev/null || true)
  dev=$(ls "$DIST"/libtlxdev-dev_*_"$arch".deb 2>/dev/null || true)
  tools=$(ls "$DIST"/tlx-tools_*_"$arch".deb 2>/dev/null || true)
  service=$(ls "$DIST"/tlxd_*_"$arch".deb 2>/dev/null || true)
  [ -n "$runtime" ] && [ -n "$dev" ] && [ -n "$tools" ] && [ -n "$service" ] ||
    fail "the four $arch packages are not all in $DIST"
  v=$(version "$runtime")
  so=${v%%-*}
  lib=./usr/lib/$triplet

  step "$arch: file lists"
  expect "$runtime" "$lib/libtlxdev.so.$so" "$lib/libtlxdev.so.1 -> libtlxdev.so.$so" \
    ./usr/lib/udev/rules.d/70-tlxdev.rules \
    ./usr/share/doc/libtlxdev1/copyright ./usr/share/doc/libtlxdev1/changelog.gz
  refuse "$runtime" '/include/|libtlxdev\.so$|/bin/|tlx-tools'
  expect "$dev" ./usr/include/tlxdev/tlxdev.h ./usr/include/tlxdev/tlx_export.h \
    ./usr/include/tlxdev/tlx_version.h "$lib/libtlxdev.so -> libtlxdev.so.1" \
    "$lib/pkgconfig/tlxdev.pc" "$lib/cmake/tlxdev/tlxdevConfig.cmake" \
    "$lib/cmake/tlxdev/tlxdevConfigVersion.cmake" "$lib/cmake/tlxdev/tlxdevTargets.cmake" \
    ./usr/share/doc/libtlxdev-dev/copyright
  refuse "$dev" 'libtlxdev\.so\.|session\.h|CDevice\.h|util\.h'
  expect "$tools" ./usr/bin/tlx-demo ./usr/bin/tlx-tool \
    ./usr/lib/tlx-tools/TLX_Demo ./usr/lib/tlx-tools/TLX_Tool ./usr/lib/tlx-tools/tlx-sim \
    ./usr/lib/tlx-tools/TLX_Terminal \
    ./usr/lib/tlx-tools/tlx-launch.sh "./usr/lib/tlx-tools/usbstub/libusb-1.0.so.0 -> libusb-1.0.so.0.0.0" \
    ./usr/share/applications/tlx-demo.desktop ./usr/share/applications/tlx-tool.desktop \
    ./usr/share/icons/hicolor/scalable/apps/tlx-demo.svg \
    ./usr/share/icons/hicolor/48x48/apps/tlx-demo.png \
    ./usr/share/icons/hicolor/128x128/apps/tlx-tool.png \
    ./usr/share/tlx-tools/samples/info.txt ./usr/share/tlx-tools/samples/hwBack.pdf \
    ./usr/share/doc/tlx-tools/copyright \
    ./usr/bin/tlxctl ./usr/share/man/man1/tlxctl.1.gz \
    ./usr/share/bash-completion/completions/tlxctl
  # The libusb stand-in never lands on the system's library path.
  refuse "$tools" "^\./usr/lib/($triplet/)?libusb|^\./lib/"
  refuse "$tools" '/tlxd($|/)'
  expect "$service" ./usr/bin/tlxd ./usr/lib/systemd/user/tlxd.service ./etc/tlx/tlxd.conf \
    ./usr/share/man/man8/tlxd.8.gz ./usr/share/tlxd/web/tlx.js ./usr/share/tlxd/web/index.html \
    ./usr/share/tlxd/web/app.js ./usr/share/doc/tlxd/copyright ./usr/share/doc/tlxd/changelog.gz
  dpkg-deb -I "$service" conffiles | grep -qx /etc/tlx/tlxd.conf ||
    fail "$(basename "$service") does not mark /etc/tlx/tlxd.conf as a configuration file"

  step "$arch: dependencies"
  depends_on "$runtime" 'libusb-1\.0-0'
  depends_on "$runtime" 'libcjson1'
  depends_on "$runtime" 'libc6'
  depends_on "$dev" "libtlxdev1 \\(= $v\\)"
  depends_on "$tools" "libtlxdev1 \\(= $v\\)"
  depends_on "$tools" 'libqt5widgets5'
  depends_on "$tools" 'libpoppler-qt5-1'
  depends_on "$tools" 'libcjson1'
  depends_on "$service" "libtlxdev1 \\(= $v\\)"
  depends_on "$service" 'libqt5websockets5'
  [ "$(dpkg-deb -f "$runtime" Architecture)" = "$arch" ] || fail "$(basename "$runtime") is not $arch"
  case $arch in amd64) machine=x86-64 ;; arm64) machine=aarch64 ;; esac
  dpkg-deb --fsys-tarfile "$runtime" | tar -xO "$lib/libtlxdev.so.$so" >"$scratch/lib.so"
  file "$scratch/lib.so" | grep -q "ELF 64-bit LSB shared object, ARM $machine\|ELF 64-bit LSB shared object, $machine" ||
    fail "the library in $(basename "$runtime") is not built for $arch: $(file -b "$scratch/lib.so")"
  checked=$((checked + 4))
done

step "lintian"
# Errors fail the check; warnings and notes are printed for the record.
lintian --fail-on error --tag-display-limit 0 "$DIST"/*.deb || fail "lintian reported errors"

host=$(dpkg --print-architecture)
step "$host: the demo's launcher from the unpacked packages"
root=$scratch
for deb in "$DIST"/*_"$host".deb; do
  dpkg-deb -x "$deb" "$root/tree"
done
mkdir -p "$root/home"
status=0
HOME=$root/home XDG_DATA_HOME= LD_LIBRARY_PATH= \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tree/usr/bin/tlx-demo" --sim --tour "$root/tour" \
  >"$root/tour.log" 2>&1 || status=$?
tail -n 3 "$root/tour.log"
[ $status = 0 ] || { cat "$root/tour.log"; fail "the demo's tour failed ($status)"; }
work=$root/home/.local/share/tlx/demo
[ "$(readlink -f "$work/libtlxdev.so")" = "$(readlink -f "$root/tree/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/libtlxdev.so.1")" ] ||
  fail "the working directory's libtlxdev.so does not lead to the unpacked library"
step "$host: tlxd from the unpacked packages"
LD_LIBRARY_PATH=$root/tree/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH) "$root/tree/usr/bin/tlxd" --version |
  grep -qx "tlxd $(version "$DIST"/tlxd_*_"$host".deb | sed 's/-.*//')" || fail "the unpacked tlxd does not run or names another version"
grep -qx 'ExecStart=/usr/bin/tlxd' "$root/tree/usr/lib/systemd/user/tlxd.service" ||
  fail "the user unit does not start /usr/bin/tlxd"
step "$host: tlxctl from the unpacked packages"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
LD_LIBRARY_PATH=$root/tree/usr/lib/$multiarch "$root/tree/usr/bin/tlxctl" --version |
  grep -qx "tlxctl $so" || fail "the unpacked tlxctl does not run or names another version"
[ "$(readelf -d "$root/tree/usr/bin/tlxctl" | grep -c 'R.*PATH')" = 0 ] ||
  fail "the packaged tlxctl carries a run path"
pictures=$(ls "$root/tour"/[0-9][0-9]-*.png | grep -vc terminal)
[ "$pictures" -ge 16 ] || fail "the tour saved $pictures pictures of the demo"
window=$(ls "$root/tour"/*terminal*.png 2>/dev/null | wc -l)
[ "$window" -ge 1 ] || fail "the tour saved no picture of the terminal window"
echo "check-packages: $checked packages ok; the unpacked demo's tour saved $pictures pictures, $window of the terminal window"

#!/bin/sh
# Every libusb function libtlxdev calls must be exported by the stand-in, and
# the stand-in exports nothing but libusb names.
#   check_standin_exports.sh LIBTLXDEV STANDIN
set -u
lib=$1 standin=$2
needed=$(nm -D --undefined-only "$lib" | awk '{print $NF}' | grep '^libusb_') || {
  echo "no libusb function found in $lib"; exit 1; }
defined=$(nm -D --defined-only "$standin" | awk '{print $NF}')
missing=0
for s in $needed; do
  if echo "$defined" | grep -qx "$s"; then echo "ok $s"; else echo "MISSING $s"; missing=1; fi
done
others=$(echo "$defined" | grep -v '^libusb_' || true)
if [ -n "$others" ]; then echo "exported besides libusb: $others"; missing=1; fi
soname=$(objdump -p "$standin" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = "libusb-1.0.so.0" ] || { echo "soname is '$soname'"; missing=1; }
exit $missing

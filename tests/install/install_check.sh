#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks what landed there, builds
# the consumer against it twice (pkg-config; find_package) and runs both
# against the virtual terminal over USB (port 0) and the serial line
# (port 1), checking that the loader resolved the installed libtlxdev.so.1.
#
#   install_check.sh BUILD_DIR WORK_DIR LIBDIR VERSION CC [TOOLCHAIN_FILE]
#
# LIBDIR is the library directory relative to the prefix; CC compiles the
# pkg-config consumer; TOOLCHAIN_FILE, when given, is handed to the CMake
# consumer (cross builds). CONSUMER_FLAGS in the environment are added to
# both consumers' compile and link flags (a sanitizer build's library needs
# its runtime in the program).
set -euo pipefail

BUILD=$1 WORK=$2 LIBDIR=$3 VERSION=$4 CC=$5 TOOLCHAIN=${6:-}
HERE=$(cd "$(dirname "$0")" && pwd)
MAJOR=${VERSION%%.*}
EXTRA=${CONSUMER_FLAGS:-}
PREFIX=$WORK/prefix

fail() { echo "install check: $*" >&2; exit 1; }
step() { echo "== $*"; }

rm -rf "$WORK"
mkdir -p "$WORK"

step "install into $PREFIX"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log"

step "installed files"
lib=$PREFIX/$LIBDIR
[ -f "$lib/libtlxdev.so.$VERSION" ] && [ ! -L "$lib/libtlxdev.so.$VERSION" ] ||
  fail "$lib/libtlxdev.so.$VERSION is missing"
[ "$(readlink "$lib/libtlxdev.so.$MAJOR")" = "libtlxdev.so.$VERSION" ] ||
  fail "libtlxdev.so.$MAJOR does not link to libtlxdev.so.$VERSION"
[ "$(readlink "$lib/libtlxdev.so")" = "libtlxdev.so.$MAJOR" ] ||
  fail "libtlxdev.so does not link to libtlxdev.so.$MAJOR"
headers=$(cd "$PREFIX/include/tlxdev" && ls | sort | tr '\n' ' ')
[ "$headers" = "tlx_export.h tlx_version.h tlxdev.h " ] ||
  fail "installed headers are '$headers', expected the public ones only"
grep -q "#define TLX_VERSION_STRING \"$VERSION\"" "$PREFIX/include/tlxdev/tlx_version.h" ||
  fail "tlx_version.h does not state $VERSION"
for f in "$lib/pkgconfig/tlxdev.pc" "$lib/cmake/tlxdev/tlxdevConfig.cmake" \
         "$lib/cmake/tlxdev/tlxdevConfigVersion.cmake" "$lib/cmake/tlxdev/tlxdevTargets.cmake"; do
  [ -f "$f" ] || fail "$f is missing"
done
# Nothing of the build tree may leak into the installed CMake files.
if grep -rl "$BUILD\|$(cd "$HERE/../.." && pwd)" "$lib/cmake/tlxdev" "$lib/pkgconfig"; then
  fail "installed package files name the build or source tree"
fi

# The tree is used from another place than it was installed to, so that
# both files prove they find their prefix by themselves.
mv "$PREFIX" "$WORK/moved"
PREFIX=$WORK/moved
lib=$PREFIX/$LIBDIR

step "consumer with pkg-config"
flags=$(PKG_CONFIG_LIBDIR="$lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --cflags --libs tlxdev)
pcver=$(PKG_CONFIG_LIBDIR="$lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --modversion tlxdev)
[ "$pcver" = "$VERSION" ] || fail "pkg-config says version $pcver"
# shellcheck disable=SC2086
"$CC" -Wall -Wextra -Werror $EXTRA -o "$WORK/consumer-pc" "$HERE/consumer/consumer.c" $flags

step "consumer with find_package"
args=(-S "$HERE/consumer" -B "$WORK/consumer-cmake" -DCMAKE_PREFIX_PATH="$PREFIX"
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="-Wall -Wextra -Werror $EXTRA"
      -DCMAKE_EXE_LINKER_FLAGS="$EXTRA")
[ -n "$TOOLCHAIN" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN")
cmake "${args[@]}" >"$WORK/consumer-cmake.log" 2>&1 || { cat "$WORK/consumer-cmake.log"; fail "configure failed"; }
cmake --build "$WORK/consumer-cmake" >>"$WORK/consumer-cmake.log" 2>&1 ||
  { cat "$WORK/consumer-cmake.log"; fail "build failed"; }

step "virtual terminal"
"$BUILD/sim/program/tlx-sim" --serial-ports 1 --env-file "$WORK/sim.env" >"$WORK/sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 200); do
  [ -s "$WORK/sim.env" ] && break
  kill -0 $sim 2>/dev/null || { cat "$WORK/sim.log"; fail "tlx-sim ended"; }
  sleep 0.1
done
[ -s "$WORK/sim.env" ] || fail "tlx-sim did not come up"
set -a
. "$WORK/sim.env"
set +a

for consumer in "$WORK/consumer-pc" "$WORK/consumer-cmake/consumer"; do
  for port in 0 1; do
    step "$(basename "$consumer") on port $port"
    out=$(LD_LIBRARY_PATH="$LD_LIBRARY_PATH:$lib" "$consumer" $port) ||
      { echo "$out"; fail "$consumer failed on port $port"; }
    echo "$out"
    grep -qx "library $lib/libtlxdev.so.$VERSION" <<<"$out" ||
      fail "$consumer did not resolve the installed library"
    # (The first line follows the library's load hook "test_init/n".)
    grep -qF "compiled against $VERSION ($VERSION)" <<<"$out" ||
      fail "$consumer was not compiled against the installed header"
  done
done
echo "install check: ok"

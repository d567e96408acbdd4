#!/usr/bin/env bash
# Every ELF file the build made: its RUNPATH and RPATH have no empty entry
# (the current directory, from which any user's library would be loaded)
# and no relative entry other than one that starts with $ORIGIN.
#   runpath_check.sh BUILD_DIR
set -uo pipefail
build=$1
checked=0 bad=0
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" 2>/dev/null)" = $'\x7fELF' ] || continue
  checked=$((checked + 1))
  while IFS= read -r path; do
    [ -n "$path" ] || continue
    if [ "${path: -1}" = ":" ] || [ "${path:0:1}" = ":" ] || [[ $path == *::* ]]; then
      echo "EMPTY ENTRY  $f: [$path]"; bad=1; continue
    fi
    IFS=: read -r -a entries <<<"$path"
    for e in "${entries[@]}"; do
      case $e in
        /*|'$ORIGIN'|'$ORIGIN/'*|'${ORIGIN}'*) ;;
        *) echo "RELATIVE     $f: [$path] ($e)"; bad=1 ;;
      esac
    done
  done < <(readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
done < <(find "$build" -type f \( -perm -u+x -o -name '*.so*' \) -not -path '*/CMakeFiles/*' -print0)
echo "runpath check: $checked ELF files"
[ "$checked" -gt 0 ] || { echo "no ELF file found in $build"; exit 1; }
exit $bad

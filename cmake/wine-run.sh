#!/bin/sh
# Runs a cross-built program under Wine for CTest: quiet, in the build folder's own
# prefix, which is made on first use (once, however many tests start at a time).
# Usage: wine-run.sh PREFIX PROGRAM [ARG...]
set -e
prefix=$1
shift
wine=${TAVRIN_WINE:-}
if [ -z "$wine" ]; then
  wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$0" wineboot -i >/dev/null 2>&1' "$wine"
fi
exec "$wine" "$@"

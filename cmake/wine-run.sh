#!/bin/sh
# Runs cross-built programs under Wine, quiet, in the build folder's own prefix.
#   wine-run.sh PREFIX PROGRAM [ARG...]  run one (CTest's emulator); makes the prefix
#                                        on first use, once however many start at a time
#   wine-run.sh PREFIX --serve           make the prefix, keep one wineserver for it
#   wine-run.sh PREFIX --stop            end that wineserver
set -e
prefix=$1
shift
find_tool() {
  command -v "$1" 2>/dev/null || { [ -x "/usr/lib/wine/$1" ] && echo "/usr/lib/wine/$1"; } ||
    { echo "wine-run.sh: $1 not found (Debian package wine64)" >&2; exit 127; }
}
wine=${TAVRIN_WINE:-$(find_tool wine64)}
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${1:-}" = --stop ]; then
  "$(find_tool wineserver)" -k 2>/dev/null || true
  exit 0
fi
if [ "${1:-}" = --serve ]; then
  # A server that outlives each program, started apart from any test's output; the
  # prefix is then made on it.
  mkdir -p "$prefix"
  "$(find_tool wineserver)" -p </dev/null >/dev/null 2>&1 || true
fi
# The registry reaches the disk only when the server saves it: a marker says the
# prefix is made. The programs wineboot leaves running must not hold the lock.
if [ ! -f "$prefix/.made" ]; then
  mkdir -p "$(dirname "$prefix")"
  flock -o "$prefix.lock" sh -c '[ -f "$WINEPREFIX/.made" ] ||
    { "$0" wineboot -i </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.made"; }' "$wine"
fi
[ "${1:-}" = --serve ] && exit 0
exec "$wine" "$@"

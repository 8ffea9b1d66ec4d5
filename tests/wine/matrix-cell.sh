#!/usr/bin/env bash
# One cell of the compatibility matrix: a Wine prefix posing as a version of
# Windows, and a driver that runs a program of the release there on a virtual
# display.
#   matrix-cell.sh PREFIX ARCH MODE SCREENSHOT_FOLDER DRIVER [ARGS...]
# ARCH is win32 (a fresh 32-bit prefix for every cell) or win64 (one 64-bit
# prefix, made fresh where QUILLON_FRESH=fresh and set to MODE each time).
set -uo pipefail
export WINEPREFIX=$1 WINEARCH=$2 QUILLON_MODE=$3
shots=$4
shift 4
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here=$(dirname "$0")
. "$here/../../scripts/lib.sh"
quillon_wine_setup
# The 32-bit program under WOW64 needs a machine that runs 32-bit programs.
if [ -n "${QUILLON_PROGRAM32:-}" ] && [ -n "${QUILLON_NO_32BIT:-}" ]; then
  echo "SKIPPED: this machine runs no 32-bit x86 programs"
  exit 77
fi

wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
if [ "$WINEARCH" = win32 ] || [ "${QUILLON_FRESH:-}" = fresh ]; then
  rm -rf "$WINEPREFIX"
fi
if ! quillon_new_prefix "$QUILLON_MODE"; then
  wine winecfg -v "$QUILLON_MODE" >/dev/null 2>&1
fi
# The display run must start its own server.
wineserver -w 2>/dev/null
exec bash "$here/run-on-display.sh" "$shots" "$@"

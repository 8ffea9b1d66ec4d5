#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual X display:
#   run-on-display.sh SCREENSHOT_FOLDER PROGRAM [ARGS...]
# The program runs in SCREENSHOT_FOLDER; the BMP screenshots it leaves there
# become PNG files.
set -uo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
shots=$1
shift
. "$(dirname "$0")/../../scripts/lib.sh"
quillon_wine_setup || exit 1
mkdir -p "$shots"
cd "$shots" || exit 1
rm -f ./*.bmp

# The first Wine process of a server session fixes its display: end any
# server that started without one.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

xvfb-run -a -s "-screen 0 1024x768x24" bash -c 'wine "$@"; rc=$?; wineserver -k 2>/dev/null; exit $rc' \
  run-on-display "$@"
rc=$?

for bmp in ./*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp" && echo "screenshot: $shots/${bmp#./}" | sed 's/\.bmp$/.png/'
done
exit $rc

#!/usr/bin/env bash
# Starts and stops the Wine prefix of a Windows build's tests. The prefix
# lives inside the build folder and is created on first use.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/../../scripts/lib.sh"
quillon_wine_setup
case "${1:-}" in
  start)
    if quillon_new_prefix; then
      wineserver -w
      echo "created Wine prefix $WINEPREFIX"
    else
      echo "using Wine prefix $WINEPREFIX"
    fi
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    echo "Wine server of $WINEPREFIX stopped"
    ;;
  *)
    echo "usage: wine-prefix.sh start|stop" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Starts and stops the Wine prefix of a Windows build's tests. The prefix
# lives inside the build folder and is created on first use.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "${1:-}" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1
      # With no window manager on the virtual display, Wine draws the title
      # bars itself, with the Marlett glyphs of its caption buttons.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
      fi
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

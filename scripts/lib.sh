# Shared by the project's scripts: installs the Debian or Ubuntu packages the
# build needs when any is missing.

QUILLON_PACKAGES=(cmake ninja-build g++ libgtest-dev googletest
  python3 wine64 wine wine32:i386 fonts-wine g++-mingw-w64-x86-64 g++-mingw-w64-i686 xvfb xauth imagemagick
  clang libclang-rt-dev clang-tidy cppcheck iproute2 nftables iputils-ping)

quillon_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

# quillon_install_packages PACKAGE...: installs what is missing, as root or
# through sudo; otherwise prints the one command needed and fails.
quillon_install_packages() {
  local missing
  missing=$(quillon_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local line="apt-get install -y --no-install-recommends $missing"
  case " $missing " in *:i386*) line="dpkg --add-architecture i386 \&\& sudo apt-get update \&\& sudo $line" ;; esac
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    run=()
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    run=(sudo)
  else
    echo "These packages are missing. Install them with:" >&2
    echo "  sudo apt-get update && sudo $line" >&2
    return 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit Wine runs the 32-bit programs.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${run[@]}" dpkg --add-architecture i386 || return 1
  fi
  "${run[@]}" apt-get update -qq >/dev/null &&
    "${run[@]}" apt-get install -y -qq --no-install-recommends $missing >/dev/null || {
      echo "apt-get could not install: $missing" >&2
      return 1
    }
}

# quillon_new_prefix [MODE]: creates the Wine prefix $WINEPREFIX if it is not
# there yet (32-bit when WINEARCH=win32), posing as the Windows version MODE
# (win98, winxp, win10, ...) when one is given. With no window manager on a
# virtual display Wine draws the title bars itself (Managed=N), with the
# Marlett glyphs of its caption buttons. A 64-bit prefix made before the
# 32-bit Wine was installed cannot start any program once it is: it is made
# afresh.
quillon_new_prefix() {
  : "${WINEPREFIX:?WINEPREFIX must name the prefix}"
  if [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] &&
     [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "The Wine prefix $WINEPREFIX predates the 32-bit Wine: making it afresh" >&2
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
  fi
  [ -f "$WINEPREFIX/system.reg" ] && return 1
  mkdir -p "$WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  if [ -n "${1:-}" ]; then
    wine winecfg -v "$1" >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  return 0
}

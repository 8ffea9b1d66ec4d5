# Shared by the project's scripts: installs the Debian or Ubuntu packages the
# build needs when any is missing.

QUILLON_PACKAGES=(cmake ninja-build g++ libgtest-dev googletest
  wine64 wine fonts-wine g++-mingw-w64-x86-64 xvfb xauth imagemagick
  clang libclang-rt-dev clang-tidy cppcheck)

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
  "${run[@]}" apt-get update -qq >/dev/null &&
    "${run[@]}" apt-get install -y -qq --no-install-recommends $missing >/dev/null || {
      echo "apt-get could not install: $missing" >&2
      return 1
    }
}

# quillon_new_prefix: creates the Wine prefix $WINEPREFIX if it is not there
# yet. With no window manager on a virtual display Wine draws the title bars
# itself (Managed=N), with the Marlett glyphs of its caption buttons.
quillon_new_prefix() {
  : "${WINEPREFIX:?WINEPREFIX must name the prefix}"
  [ -f "$WINEPREFIX/system.reg" ] && return 1
  mkdir -p "$WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  return 0
}

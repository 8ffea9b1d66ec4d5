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
# through sudo; otherwise prints the one command needed and fails. A package
# index that does not download whole (a mirror in the middle of a sync) does
# not end it: apt-get update may fail, and where the install then cannot
# resolve (the 32-bit libraries of one suite against the 64-bit ones of
# another), it is tried again with the release's own suite preferred. Only
# apt-get's exit status says whether it worked.
quillon_install_packages() {
  local missing
  missing=$(quillon_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local codename
  # A derivative of Ubuntu (Mint, say) names its own release first and the
  # Ubuntu one its packages come from in UBUNTU_CODENAME.
  codename=$(. "${QUILLON_OS_RELEASE:-/etc/os-release}" 2>/dev/null && echo "${UBUNTU_CODENAME:-${VERSION_CODENAME:-}}")
  # The one command a person can run: update (which may fail in part), then
  # install from the release's own suite.
  local line="sudo apt-get update; sudo apt-get install -y --no-install-recommends ${codename:+-t $codename }$missing"
  case " $missing " in *:i386*) line="sudo dpkg --add-architecture i386; $line" ;; esac
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    run=()
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    run=(sudo)
  else
    echo "These packages are missing. Install them with:" >&2
    echo "  $line" >&2
    return 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit Wine runs the 32-bit programs.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${run[@]}" dpkg --add-architecture i386 || return 1
  fi
  local log
  log=$(mktemp) || return 1
  if ! "${run[@]}" apt-get update -qq >"$log" 2>&1; then
    echo "apt-get update did not fetch every package index; installing with what it has:" >&2
    grep -E '^(E|W):' "$log" | tail -n 3 >&2
  fi
  local ok=1
  if "${run[@]}" apt-get install -y -qq --no-install-recommends $missing >>"$log" 2>&1; then
    ok=0
  elif [ -n "$codename" ]; then
    echo "apt-get could not install; trying again with the $codename suite preferred" >&2
    "${run[@]}" apt-get install -y -qq --no-install-recommends -t "$codename" $missing >>"$log" 2>&1 && ok=0
  fi
  if [ "$ok" -ne 0 ]; then
    echo "apt-get could not install: $missing" >&2
    echo "Its last lines:" >&2
    tail -n 12 "$log" | sed 's/^/  /' >&2
    echo "Install them by hand with:" >&2
    echo "  $line" >&2
  fi
  rm -f "$log"
  return "$ok"
}

# quillon_runs_32bit: whether this machine runs 32-bit x86 programs, as the
# 32-bit Wine is one (some kernels and sandboxes run 64-bit programs only).
# Only the kernel's own refusal counts: a 32-bit Wine that is there but
# broken is a fault for the tests to show, not a machine to skip on.
quillon_runs_32bit() {
  [ -x /usr/lib/wine/wine ] || return 0
  # 126: the kernel would not execute it (Exec format error); a 32-bit Wine
  # that starts and fails (a library missing) gives another code.
  /usr/lib/wine/wine --version >/dev/null 2>&1
  [ $? -ne 126 ]
}

# quillon_wine_setup: where the 32-bit Wine cannot run, `wine`, whose
# wrapper would start it, becomes the 64-bit Wine for this script and all it
# starts, and QUILLON_NO_32BIT=1 tells the tests to skip the 32-bit programs.
quillon_wine_setup() {
  quillon_runs_32bit && return 0
  local shim
  shim="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine64-only"
  mkdir -p "$shim" || return 1
  printf '%s\n' '#!/bin/sh' '# Wine as its 64-bit loader alone, for a machine that runs no 32-bit programs.' \
    'export WINELOADER=/usr/lib/wine/wine64' '[ -n "$WINEDEBUG" ] || export WINEDEBUG=fixme-all' \
    'exec /usr/lib/wine/wine64 "$@"' >"$shim/wine" && chmod +x "$shim/wine" || return 1
  # wineboot, winecfg and the other tools start wine-stable.
  ln -sf wine "$shim/wine-stable" || return 1
  case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
  export QUILLON_NO_32BIT=1
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
     [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && quillon_runs_32bit; then
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

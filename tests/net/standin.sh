#!/usr/bin/env bash
# The IP-helper stand-in of tests/net/iphlpapi-standin in a Wine prefix, for
# the network tests to source. Installed, every Wine program that the prefix
# starts from then on, x64 and 32-bit, loads it in place of Wine's
# iphlpapi.dll, and its netsh.exe runs in place of Wine's: the files go into
# system32 (and syswow64), and the DLL overrides "iphlpapi" and "netsh.exe" =
# "native" make Wine take them.
#   standin_install PREFIX DIR64 [DIR32]  DIR64, DIR32: the standin/ folders
#       of the windows and windows32 builds; a 64-bit prefix made with the
#       32-bit Wine needs both, a 32-bit prefix only DIR32
#   standin_remove PREFIX    puts Wine's own DLL back
#   standin_forget PREFIX    forgets the path MTUs the stand-in learnt, IPv4's
#       and IPv6's, as `ip route flush cache` makes the Linux host forget its own
# Installing and removing it also forgets the NlMtu its SetIpInterfaceEntry set.
# The Wine commands run with $STANDIN_IN before them (for instance
# "ip netns exec NAME"), so that they join the prefix's Wine server where
# the test runs it.

# Where the stand-in keeps what it learnt (see IpHelperStandIn.cpp).
STANDIN_PATH_KEY='HKCU\Software\Quillon stand-in path MTUs'
STANDIN_PATH_KEY6='HKCU\Software\Quillon stand-in IPv6 path MTUs'
STANDIN_MTU_KEY='HKCU\Software\Quillon stand-in NlMtu'
STANDIN_OVERRIDES='HKCU\Software\Wine\DllOverrides'
STANDIN_KEEP_KEY='HKCU\Software\Quillon stand-in persistent MTU'

_standin_wine() {
  WINEPREFIX=$prefix ${STANDIN_IN:-} wine "$@" >/dev/null 2>&1
}

# _standin_put DIR SYSTEM_DIR: the stand-in and the copy of Wine's DLL it
# forwards to, each replaced by a rename so that a program that has the old
# file loaded keeps it whole. Wine's own file is kept as iphlpapi.dll.wine.
_standin_put() {
  local dir=$1 system=$2 file
  for file in iphlpapi.dll wineiphl.dll netsh.exe; do
    [ -f "$dir/$file" ] || { echo "standin_install: no $dir/$file (build the stand-in first)" >&2; return 1; }
  done
  [ -f "$system/iphlpapi.dll.wine" ] || cp -p "$system/iphlpapi.dll" "$system/iphlpapi.dll.wine" || return 1
  [ -f "$system/netsh.exe.wine" ] || cp -p "$system/netsh.exe" "$system/netsh.exe.wine" || return 1
  for file in wineiphl.dll iphlpapi.dll netsh.exe; do
    cp "$dir/$file" "$system/$file.new" && mv -f "$system/$file.new" "$system/$file" || return 1
  done
}

standin_install() {
  local prefix=$1 dir64=$2 dir32=${3:-} windows=$1/drive_c/windows
  if [ ! -f "$windows/system32/kernel32.dll" ]; then
    echo "standin_install: $prefix is not a Wine prefix" >&2
    return 1
  fi
  if [ ! -d "$windows/syswow64" ]; then
    _standin_put "$dir32" "$windows/system32" || return 1  # a 32-bit prefix
  else
    _standin_put "$dir64" "$windows/system32" || return 1
    if [ -f "$windows/syswow64/kernel32.dll" ]; then
      _standin_put "$dir32" "$windows/syswow64" || return 1
    fi
  fi
  _standin_wine reg add "$STANDIN_OVERRIDES" /v iphlpapi /d native /f &&
    _standin_wine reg add "$STANDIN_OVERRIDES" /v netsh.exe /d native /f || {
    echo "standin_install: the DLL override could not be written" >&2
    return 1
  }
  _standin_wine reg delete "$STANDIN_MTU_KEY" /f
  _standin_wine reg delete "$STANDIN_KEEP_KEY" /f
  standin_forget "$prefix"
}

standin_remove() {
  local prefix=$1 system status=0
  _standin_wine reg delete "$STANDIN_OVERRIDES" /v iphlpapi /f
  _standin_wine reg delete "$STANDIN_OVERRIDES" /v netsh.exe /f
  for system in "$1/drive_c/windows/system32" "$1/drive_c/windows/syswow64"; do
    if [ -f "$system/iphlpapi.dll.wine" ]; then
      mv -f "$system/iphlpapi.dll.wine" "$system/iphlpapi.dll" && rm -f "$system/wineiphl.dll" || status=1
    fi
    if [ -f "$system/netsh.exe.wine" ]; then
      mv -f "$system/netsh.exe.wine" "$system/netsh.exe" || status=1
    fi
  done
  _standin_wine reg delete "$STANDIN_MTU_KEY" /f
  _standin_wine reg delete "$STANDIN_KEEP_KEY" /f
  standin_forget "$prefix"
  return $status
}

standin_forget() {
  local prefix=$1
  _standin_wine reg delete "$STANDIN_PATH_KEY" /f
  _standin_wine reg delete "$STANDIN_PATH_KEY6" /f
  return 0
}

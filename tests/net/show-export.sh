#!/usr/bin/env bash
# show and export through the real console programs under Wine, started in
# the client namespace of the test network so that Wine's network cards are
# that namespace's interfaces (MTU 1500, 1400 and 1492):
#  - show names each adapter and its MTU in use now; after apply the stored
#    MTU changes and the one in use does not;
#  - export, apply (or remove), then Wine's regedit imports the file: every
#    value under HKEY_LOCAL_MACHINE is as it was, type for type, on the NT
#    family (64-bit prefix, both programs) and on the 9x family (a 32-bit
#    prefix posing as Windows 98), with odd data among the values.
#   show-export.sh RELEASE32_DIR RELEASE64_DIR WORK_DIR
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli32=$1/quillon-mtu-cli.exe
cli64=$2/quillon-mtu-cli64.exe
work=$3
net=qshow$$
. "$here/harness.sh"
cli() {
  out=$(in_client timeout 60 wine "$@" 2>"$work/err" | tr -d '\r')
  code=${PIPESTATUS[0]}
}
# Every value under HKEY_LOCAL_MACHINE, one line each with its key; keys
# without values do not count (importing a deletion leaves its key behind).
values() {
  in_client wine reg export HKLM "$work/hklm.reg" /y $1 >/dev/null 2>&1 || { echo "reg export failed"; return; }
  iconv -f UTF-16LE -t UTF-8 "$work/hklm.reg" | tr -d '\r' |
    awk '/^\[/ {key = $0; next} /^$/ || /^;/ {next}
         {line = line $0} /\\$/ {sub(/\\$/, "", line); next} {print key "\t" line; line = ""}'
}
# round_trip PROGRAM REG_VIEW: export, then apply and remove, each followed by
# the import of the file, must leave every value as it was.
round_trip() {
  local program=$1 view=$2 name before op
  name=$(basename "$program")
  before=$(values "$view")
  cli "$program" export
  [ "$code" = 0 ] || { fail "$name export: exit $code $(cat "$work/err")"; return; }
  printf '%s\n' "$out" | sed 's/$/\r/' >"$work/saved.reg"
  for op in "apply 1400" "remove"; do
    cli "$program" $op
    [ "$code" = 0 ] || fail "$name $op: exit $code, so the round trip proves nothing"
    in_client wine regedit /s "$work/saved.reg" >/dev/null 2>&1
    if [ "$(values "$view")" = "$before" ]; then
      echo "$name: export, $op, regedit /s: every value as before"
    else
      fail "$name: after $op and the import:"
      diff <(echo "$before") <(values "$view") | head -n 20
    fi
  done
}

# ---- NT family: show, then the round trip with odd data ----
export WINEPREFIX=$work/prefix64
prefix_in_client "$WINEPREFIX" ""
cards='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards'
interfaces='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces'
for program in "$cli32" "$cli64"; do
  name=$(basename "$program")
  cli "$program" remove
  cli "$program" show
  echo "$name show:"
  echo "$out"
  for link in "eth0|1500" "wan1400|1400" "wan1492|1492"; do
    grep -aq "\"${link%|*}\"  no MTU stored  in use now: ${link#*|}\$" <<<"$out" ||
      fail "$name show: ${link%|*} with ${link#*|} in use"
  done
  grep -aq '^  path-MTU discovery (EnablePMTUDiscovery): on (not stored, the default)$' <<<"$out" ||
    fail "$name show: the switch before apply"
  cli "$program" apply 1300
  cli "$program" show
  for link in "eth0|1500" "wan1400|1400" "wan1492|1492"; do
    grep -aq "\"${link%|*}\"  MTU 1300  in use now: ${link#*|} (1300 from the next restart)\$" <<<"$out" ||
      fail "$name show after apply 1300: ${link%|*}"
  done
  grep -aq '^  path-MTU discovery (EnablePMTUDiscovery): off (stored)$' <<<"$out" || fail "$name show: the switch after apply"
  [ "$(tail -n 1 <<<"$out")" = "MTU: 1300" ] || fail "$name show: the MTU line is not last"
  [ "$name" = quillon-mtu-cli64.exe ] && { echo "after apply 1300:"; echo "$out"; }
done

# A card with an awkward service name and values of unexpected types.
odd='{odd "name" ];=x-é}'
reg64=/reg:64
in_client wine reg add "$cards\\9" /v ServiceName /d "$odd" /f $reg64 >/dev/null 2>&1
in_client wine reg add "$interfaces\\$odd" /v MTU /t REG_SZ /d 'a "quoted" \ text' /f >/dev/null 2>&1
serviceOf() { in_client wine reg query "$cards\\$1" /v ServiceName $reg64 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
eth0=$(serviceOf 2)
long=$(printf 'x%.0s' $(seq 1500))
in_client wine reg add "$interfaces\\$eth0" /v MTU /t REG_SZ /d "$long" /f >/dev/null 2>&1
wan=$(serviceOf 3)
in_client wine reg add "$interfaces\\$wan" /v MTU /t REG_MULTI_SZ /d 'a\0b' /f >/dev/null 2>&1
lo=$(serviceOf 1)
in_client wine reg delete "$interfaces\\$lo" /v MTU /f >/dev/null 2>&1
in_client wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' /v EnablePMTUDiscovery /f >/dev/null 2>&1
round_trip "$cli32" "$reg64"
cli "$cli64" export
echo "export on the NT family (the long text cut short here):"
sed -E 's/((78,){24}\\)$/.../' <<<"$out" | uniq
grep -aq '^"MTU"=-$' <<<"$out" || fail "export: no deletion for a card without an MTU"
# The switch stored, one card with a DWORD and the others as they are.
in_client wine reg add 'HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' /v EnablePMTUDiscovery /t REG_DWORD /d 1 /f >/dev/null 2>&1
in_client wine reg add "$interfaces\\$wan" /v MTU /t REG_DWORD /d 576 /f >/dev/null 2>&1
round_trip "$cli64" "$reg64"
WINEPREFIX=$work/prefix64 in_client wineserver -k 2>/dev/null

# ---- 9x family ----
export WINEPREFIX=$work/prefix98
WINEARCH=win32 prefix_in_client "$WINEPREFIX" win98
transports='HKLM\System\CurrentControlSet\Services\Class\NetTrans'
in_client wine reg add "$transports\\0000" /v IPAddress /d 192.0.2.2 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0000" /v MaxMTU /d 576 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0000" /v DriverDesc /d 'TCP/IP' /f >/dev/null 2>&1
in_client wine reg add "$transports\\0001" /v IPAddress /d 198.51.100.41 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0002" /v DriverDate /d 1-1-1998 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0002" /v MaxMTU /t REG_BINARY /d 0102ff /f >/dev/null 2>&1
cli "$cli32" show
echo "quillon-mtu-cli.exe show as Windows 98:"
echo "$out"
grep -aq '^  transport 0000  192.0.2.2  "TCP/IP"  MaxMTU 576  in use now: 1500 (576 from the next restart)$' <<<"$out" ||
  fail "Windows 98 show: transport 0000"
grep -aq '^  transport 0001  198.51.100.41  no MaxMTU stored  in use now: 1400$' <<<"$out" ||
  fail "Windows 98 show: transport 0001"
round_trip "$cli32" ""
in_client wine reg add 'HKLM\System\CurrentControlSet\Services\VxD\MSTCP' /v PMTUDiscovery /d 1 /f >/dev/null 2>&1
round_trip "$cli32" ""

echo "show and export on the namespaces' network: $failures failures"
[ "$failures" = 0 ]

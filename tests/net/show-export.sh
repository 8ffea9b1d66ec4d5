#!/usr/bin/env bash
# show and export through the real console programs under Wine, started in
# the client namespace of the test network so that Wine's network cards are
# that namespace's interfaces (MTU 1500, 1400 and 1492):
#  - show names each adapter and its MTU in use now; after apply under plain
#    Wine the stored MTU changes and the one in use does not;
#  - export FILE writes byte for byte what export writes to standard output;
#    export, apply (or remove), then Wine's regedit imports the file: every
#    value under HKEY_LOCAL_MACHINE is as it was, byte for byte, on the NT
#    family (64-bit prefix, both programs) and on the 9x family (a 32-bit
#    prefix posing as Windows 98), with odd data among the values;
#  - a file that cannot be written, and a full standard output, end in exit
#    1 with the reason, and no file is left;
#  - apply says "restart" under plain Wine; with SetIpInterfaceEntry (the
#    stand-in of standin.sh) apply and remove change the MTU in use at once;
#  - --adapter acts on one adapter, named each way, on both families, and
#    probe --apply --adapter route on the adapter each host's route leaves
#    through; nothing else under HKEY_LOCAL_MACHINE changes.
#  - a DLL planted beside a console program under the name of a system DLL
#    it loads, with Wine told to take a native DLL first, is never loaded;
#  - on a console the program's ANSI text comes out as the console shows it
#    (NT and 9x); redirected, its bytes are as they are.
#   show-export.sh RELEASE32_DIR RELEASE64_DIR WORK_DIR DUMP64 DUMP32 STANDIN64 STANDIN32 PLANTED64 PLANTED32
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli32=$1/quillon-mtu-cli.exe
cli64=$2/quillon-mtu-cli64.exe
work=$3
dump64=$4
dump32=$5
standin64=$6
standin32=$7
planted64=$8
planted32=$9
net=qshow$$
. "$here/harness.sh"
. "$here/standin.sh"
# Every value under HKEY_LOCAL_MACHINE with its type and bytes, one line
# each; keys without values do not count (importing a deletion leaves its
# key behind). $dump is the dumper of the prefix's own width.
values() { in_client wine "$dump" dump | tr -d '\r'; }
# round_trip PROGRAM [CHANGED]: export FILE (the same bytes as to standard
# output), then apply and remove, each followed by the import of the file,
# must leave every value as it was, byte for byte; but for the value CHANGED
# names, which the import gives one closing NUL more.
round_trip() {
  local program=$1 changed=${2:-} name before op after expected
  name=$(basename "$program")
  before=$(values)
  rm -f "$work/saved.reg"
  console_run "$program" export "Z:$work/saved.reg"
  [ "$code" = 0 ] || { fail "$name export FILE: exit $code $(cat "$work/err")"; return; }
  in_client timeout 60 wine "$program" export </dev/null >"$work/stdout.reg" 2>/dev/null
  cmp -s "$work/saved.reg" "$work/stdout.reg" || fail "$name: export FILE differs from export to standard output"
  expected=$before
  [ -z "$changed" ] || expected=$(entry="VAL $changed" awk -F '\t' 'BEGIN { OFS = "\t" } $1 == ENVIRON["entry"] { $3 = $3 "00" } { print }' <<<"$before")
  for op in "apply 1400" "remove"; do
    console_run "$program" $op
    [ "$code" = 0 ] || fail "$name $op: exit $code, so the round trip proves nothing"
    in_client wine regedit /s "$work/saved.reg" >/dev/null 2>&1
    after=$(values)
    if [ "$after" = "$expected" ]; then
      echo "$name: export, $op, regedit /s: every value as before, byte for byte${changed:+, but for $changed}"
    else
      fail "$name: after $op and the import:"
      diff <(echo "$expected") <(echo "$after") | head -n 20
    fi
  done
}
# export_fails PROGRAM: a file that cannot be written is a failure with the
# reason and no file; so is a full standard output.
export_fails() {
  local program=$1 name target
  name=$(basename "$program")
  for target in "$work/no such folder/saved.reg" "$work/full/saved.reg"; do
    console_run "$program" export "Z:$target"
    [ "$code" = 1 ] && grep -q "The registry file could not be written to .*No file was left there." "$work/err" &&
      [ ! -e "$target" ] || fail "$name export to '$target': exit $code, $(cat "$work/err")"
  done
  # Over an earlier export on the full disk: the earlier file stays whole.
  rm -f "$work/full/filler" && printf 'REGEDIT4\r\n; before\r\n' >"$work/full/kept.reg" &&
    dd if=/dev/zero of="$work/full/filler" bs=1k 2>/dev/null
  console_run "$program" export "Z:$work/full/kept.reg"
  [ "$code" = 1 ] && grep -q 'The file that was there is as it was\.' "$work/err" &&
    [ "$(cat "$work/full/kept.reg")" = $'REGEDIT4\r\n; before\r' ] &&
    [ "$(ls "$work/full")" = $'filler\nkept.reg' ] ||
    fail "$name export over a file on a full disk: exit $code, $(cat "$work/err"), $(ls "$work/full")"
  in_client timeout 60 wine "$program" export </dev/null >/dev/full 2>"$work/err"
  [ "$?" = 1 ] && grep -q 'could not be written to standard output' "$work/err" ||
    fail "$name export to a full standard output: $(cat "$work/err")"
  echo "$name export: a folder that is not there, a full disk and a full standard output each fail, leaving no file;"
  echo "  over an earlier file on a full disk it fails and leaves that file as it was"
}
# planted PROGRAM DLL: a copy of PROGRAM with DLL beside it under the name of
# each DLL it loads at run time, and Wine told to take a native DLL before
# its own: show and probe work and DLL is never loaded (it would leave
# NAME.loaded beside itself).
planted() {
  local program=$1 dir=$work/planted name loaded lib
  local -x WINEDLLOVERRIDES="$WINEDLLOVERRIDES;iphlpapi,icmp,ws2_32,wsock32=n,b"
  name=$(basename "$program")
  rm -rf "$dir" && mkdir -p "$dir" && cp "$program" "$dir/" || { fail "$name: no copy to plant beside"; return; }
  for lib in iphlpapi icmp ws2_32 wsock32; do cp "$2" "$dir/$lib.dll"; done
  console_run "$dir/$name" show
  grep -aq '"eth0"  .*in use now: 1500' <<<"$out" || fail "$name beside planted DLLs: show: $out"
  in_client ip route flush cache
  console_run "$dir/$name" probe "${TOPOLOGY_HOST[mtu1400]}"
  [ "$code" = 0 ] && grep -q '^MTU: 1400$' <<<"$out" || fail "$name beside planted DLLs: probe: exit $code: $out"
  loaded=$(cd "$dir" && ls -- *.loaded 2>/dev/null)
  [ -z "$loaded" ] || fail "$name loaded the DLLs planted beside it: $loaded"
  echo "$name: show and probe beside planted iphlpapi, icmp, ws2_32 and wsock32 DLLs, none of them loaded"
}
# console_text PROGRAM: a reason naming the folder C:\nowhere-é (é is 0xE9 in
# the ANSI code page, 1252) shows é on a console (Wine's console on a pseudo
# terminal, which writes UTF-8), while redirected standard error gets 0x82,
# é in the OEM code page (437), as Windows' own console tools write it.
console_text() {
  local program=$1 name shown
  name=$(basename "$program")
  shown=$(in_client timeout 60 script -qec "wine '$program' export 'C:\\nowhere-é\\x.reg'" /dev/null </dev/null)
  grep -q 'written to C:\\nowhere-é\\x\.reg' <<<"$shown" || fail "$name on a console: $shown"
  in_client timeout 60 wine "$program" export 'C:\nowhere-é\x.reg' </dev/null >/dev/null 2>"$work/err"
  LC_ALL=C grep -q $'written to C:\\\\nowhere-\x82\\\\x' "$work/err" || fail "$name redirected: $(od -c "$work/err" | head -n 4)"
  echo "$name: an ANSI text shown as such on a console, in the OEM code page where redirected"
}
# A disk with no room left, for export_fails.
mkdir -p "$work/full"
mount -t tmpfs -o size=16k tmpfs "$work/full" && dd if=/dev/zero of="$work/full/filler" bs=1k 2>/dev/null
harness_cleanup_full() { umount "$work/full" 2>/dev/null; harness_cleanup; }
trap harness_cleanup_full EXIT

# ---- NT family: show, then the round trip with odd data ----
export WINEPREFIX=$work/prefix64
dump=$dump64
prefix_in_client "$WINEPREFIX" ""
cards='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards'
interfaces='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces'
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  console_run "$program" remove
  console_run "$program" show
  echo "$name show:"
  echo "$out"
  for link in "eth0|1500" "wan1400|1400" "wan1492|1492"; do
    grep -aq "\"${link%|*}\"  no MTU stored  in use now: ${link#*|}\$" <<<"$out" ||
      fail "$name show: ${link%|*} with ${link#*|} in use"
  done
  grep -aq '^  path-MTU discovery (EnablePMTUDiscovery): on (not stored, the default)$' <<<"$out" ||
    fail "$name show: the switch before apply"
  console_run "$program" apply 1300
  grep -aq '^The change takes effect when Windows restarts\.$' <<<"$out" && ! grep -aq 'in use now' <<<"$out" ||
    fail "$name apply under plain Wine, which has no SetIpInterfaceEntry: $out"
  console_run "$program" show
  for link in "eth0|1500" "wan1400|1400" "wan1492|1492"; do
    grep -aq "\"${link%|*}\"  MTU 1300  in use now: ${link#*|} (1300 from the next restart)\$" <<<"$out" ||
      fail "$name show after apply 1300: ${link%|*}"
  done
  grep -aq '^  path-MTU discovery (EnablePMTUDiscovery): off (stored)$' <<<"$out" || fail "$name show: the switch after apply"
  [ "$(tail -n 1 <<<"$out")" = "MTU: 1300" ] || fail "$name show: the MTU line is not last"
  [ "$name" = quillon-mtu-cli64.exe ] && { echo "after apply 1300:"; echo "$out"; }
done
[ -z "$runs32" ] || planted "$cli32" "$planted32"
planted "$cli64" "$planted64"
console_text "$cli64"

# With the stand-in, as on Vista and later: the command, its exit code and a
# line of its standard output (standard error for 3).
STANDIN_IN="ip netns exec $net-c" standin_install "$WINEPREFIX" "$standin64" "$standin32" ||
  fail "the IP-helper stand-in could not be installed"
# IPv6 beside IPv4 (each adapter has its link-local address; wan1400 has
# IPv6 turned off).
in_client sysctl -qw net.ipv6.conf.wan1400.disable_ipv6=1
in_use_cases=(
  'apply 1400 --adapter wan1492|0|"wan1492"  in use now: 1400$'
  'apply 1400 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1400, kept past a restart$'
  'show|0|"wan1492"  MTU 1400  in use now: 1400, IPv6 1400$'
  'show|0|"eth0"  MTU 1300  in use now: 1500 \(1300 from the next restart\), IPv6 1500$'
  'show|0|"wan1400"  .*in use now: 1400.*, no IPv6 interface now$'
  'remove --adapter wan1492|0|"wan1492"  in use now: 1492, the link.s MTU$'
  'apply 500 --adapter wan1492|3|"wan1492"  in use now: 1492, not 500: Windows does not put 500 into use at once'
  'apply 1200 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1492, left as it is: IPv6.s smallest MTU is 1280$'
  'apply 1500 --adapter wan1492|0|"wan1492"  in use now: 1492, the link.s MTU \(1500 is above it\)$'
  'show|0|"wan1492"  MTU 1500 stored, above the link.s 1492: 1492 is used  in use now: 1492, IPv6 1492$'
  'remove --adapter wan1492|0|"wan1492"  in use now: 1492, the link.s MTU$'
  'apply 1300 -6 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1300, kept past a restart$'
  'show|0|"wan1492"  no MTU stored  in use now: 1492, IPv6 1300$'
  'check 1300 -6 --adapter wan1492|0|^Compliant: every adapter uses no more than MTU 1300 for IPv6\.$'
  'remove -6 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1492, the link.s MTU, kept past a restart$'
  'apply 1400 --adapter wan1400|0|"wan1400"  has no IPv6 interface now'
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  in_client wine reg delete "$STANDIN_KEEP_KEY" /f >/dev/null 2>&1
  for c in "${in_use_cases[@]}"; do
    IFS='|' read -r args want_code want <<<"$c"
    console_run "$program" $args
    said=$out
    [ "$want_code" = 0 ] || said=$(tr -d '\r' <"$work/err")
    [ "$code" = "$want_code" ] && grep -aEq "$want" <<<"$said" ||
      fail "$(basename "$program") $args with the stand-in: exit $code: $out $(cat "$work/err")"
  done
  # What netsh was given: the last IPv6 MTU, wan1492's link MTU, kept in
  # the persistent store under the interface's index.
  in_client wine reg query "$STANDIN_KEEP_KEY" 2>/dev/null | tr -d '\r' | grep -Eq '^ *6:[0-9]+ +REG_DWORD +0x5d4$' ||
    fail "$(basename "$program"): netsh was not given wan1492's 1492 for the persistent store"
done
# Something else's MTU in use (a VPN client's, netsh's): eth0 uses 1420 but
# stores 1300. Plain apply lowers it and never raises it, plain remove
# leaves it, --adapter changes it; the loopback, which NetworkCards lists
# and GetAdaptersInfo does not, has no interface and is no refusal. "!" runs
# a command, and $probe_env goes before the next console run only.
serviceOf() { in_client wine reg query "$cards\\$1" /v ServiceName /reg:64 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
eth0_service=$(serviceOf 2)
elsewhere() {
  console_run "$1" apply 1420 --adapter eth0
  in_client wine reg add "$interfaces\\$eth0_service" /v MTU /t REG_DWORD /d 1300 /f >/dev/null 2>&1
}
set_by_others_cases=(
  '!elsewhere'
  'apply 1450|0|"eth0"  in use now: 1420, left as it is: something else set it below the link.s 1500 \(a VPN client, netsh\); 1450 is stored, and quillon-mtu-cli apply 1450 --adapter 2 puts it into use at once$'
  'apply 1450|0|"lo"  has no IPv4 interface now \(.*\): 1450 is stored for when Windows reads it; run apply again once the adapter is connected to put it into use at once$'
  'apply 1400|0|"eth0"  in use now: 1400$'
  '!elsewhere'
  'remove|0|"eth0"  in use now: 1420, left as it is: it is not the MTU that was stored'
  '!elsewhere'
  'apply 1450 --adapter eth0|0|"eth0"  in use now: 1450$'
  'remove --adapter eth0|0|"eth0"  in use now: 1500, the link.s MTU$'
  # A "too big" that comes back as a reply from the zero address is this
  # system's own refusal, as one without a reply is.
  'apply 1400 --adapter eth0|0|"eth0"  in use now: 1400$'
  '!in_client ip route flush cache'
  "!probe_env=QUILLON_STANDIN_TOO_BIG_REPLY=1"
  "probe ${TOPOLOGY_HOST[mtu1500]}|0|^  1500 bytes: too big for what this system knows of the path$"
  "!probe_env=QUILLON_STANDIN_TOO_BIG_REPLY=1"
  "probe ${TOPOLOGY_HOST[mtu1500]}|0|^That is this machine.s own limit, not the path.s: card 2  .* uses an MTU of 1400"
  'remove --adapter eth0|0|"eth0"  in use now: 1500, the link.s MTU$'
  # netsh that does not store IPv6's MTU: in use all the same, until a restart.
  "!probe_env=QUILLON_STANDIN_NETSH_EXIT=1"
  'apply 1300 -6 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1300, until Windows restarts: netsh did not store it \(exit code 1\)$'
  'remove -6 --adapter wan1492|0|"wan1492"  IPv6 in use now: 1492, the link.s MTU, kept past a restart$'
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  console_run "$program" remove
  for c in "${set_by_others_cases[@]}"; do
    case "$c" in
      '!elsewhere') elsewhere "$program"; continue ;;
      '!probe_env='*) probe_env=${c#!probe_env=}; continue ;;
      '!'*) ${c:1}; continue ;;
    esac
    IFS='|' read -r args want_code want <<<"$c"
    if [ -n "${probe_env:-}" ]; then
      env_name=${probe_env%%=*}
      declare -x "$probe_env"
      console_run "$program" $args
      unset "$env_name" probe_env
    else
      console_run "$program" $args
    fi
    [ "$code" = "$want_code" ] && grep -aEq "$want" <<<"$out" ||
      fail "$(basename "$program") $args, set by others, with the stand-in: exit $code: $out $err"
  done
  echo "$(basename "$program"): an MTU in use set by others lowered, never raised, left by remove; the loopback no refusal"
done
# --json with the stand-in: one document on one line each, read by Python's
# json against the names scripts use (tests/unit/check-json.py), with card 1
# described beyond ASCII, which the document holds in UTF-8.
card1=$(in_client wine reg query "$cards\\1" /v Description /reg:64 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
in_client wine reg add "$cards\\1" /v Description /d 'Carte réseau' /f /reg:64 >/dev/null 2>&1
: >"$work/documents"
for program in "${clis[@]}"; do
  for args in "show" "apply 1400" "check 1400" "remove" "check 1400" "probe ${TOPOLOGY_HOST[mtu1400]}"; do
    in_client ip route flush cache
    console_run "$program" $args --json
    printf '%s\t%s\t%s\n' "${args%% *}" "$code" "$out" >>"$work/documents"
    [ "$(wc -l <<<"$out")" = 1 ] && [ -n "$err" ] ||
      fail "$(basename "$program") $args --json: not one line of JSON with the prose on standard error: $out"
  done
  grep -q '"description":"Carte réseau"' "$work/documents" || fail "$(basename "$program"): no UTF-8 name in the documents"
done
python3 "$here/../unit/check-json.py" "$work/documents" || fail "--json: a document that does not read as its names say"
codes=$(cut -f 1,2 "$work/documents" | tr '\t' ' ' | paste -sd ' ')
grep -q '^show 0 apply 0 check 0 remove 0 check 1 probe 0' <<<"$codes" || fail "--json: exit codes $codes"
echo "--json: $(wc -l <"$work/documents") documents read as their names say, one line each"
in_client wine reg add "$cards\\1" /v Description /d "$card1" /f /reg:64 >/dev/null 2>&1
console_run "$cli64" remove
STANDIN_IN="ip netns exec $net-c" standin_remove "$WINEPREFIX" || fail "the IP-helper stand-in could not be removed"

# changes BEFORE AFTER: the value lines that differ, one each, with < or >.
changes() { diff <(echo "$1") <(echo "$2") | grep '^[<>]' | sort; }
# --adapter, by each kind of name: only that adapter's MTU changes (the
# other cards hold none, so path-MTU discovery stays on); remove puts back
# what was there. The routes to two hosts leave through different interfaces.
in_client ip route add "${TOPOLOGY_HOST[mtu1492]}/32" via 198.51.100.46 dev wan1492
upper() { tr 'a-z' 'A-Z' <<<"$1"; }
params='VAL SYSTEM\CURRENTCONTROLSET\SERVICES\TCPIP\PARAMETERS'
wan1400=$(in_client wine reg query "$cards\\3" /v ServiceName /reg:64 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  console_run "$program" remove
  before=$(values)
  for adapter in 3 "$wan1400" wan1400 WAN1400; do
    console_run "$program" apply 1300 --adapter "$adapter"
    want=$(printf '> %s\\INTERFACES\\%s|MTU\t4\t14050000' "$params" "$(upper "$wan1400")")
    [ "$code" = 0 ] && grep -q 'path-MTU discovery is on (the default), since not every' <<<"$out" &&
      [ "$(changes "$before" "$(values)")" = "$want" ] ||
      fail "$name apply --adapter $adapter: exit $code: $(changes "$before" "$(values)") $out"
    console_run "$program" remove --adapter "$adapter"
    [ "$code" = 0 ] && grep -q 'path-MTU discovery is on again' <<<"$out" && [ "$(values)" = "$before" ] ||
      fail "$name remove --adapter $adapter: exit $code: $out"
  done
  console_run "$program" apply 1300 --adapter nowhere
  [ "$code" = 1 ] && grep -q '^  card 2  .*  "eth0"' "$work/err" && [ "$(values)" = "$before" ] ||
    fail "$name apply --adapter nowhere: exit $code: $(cat "$work/err")"
  for route in "mtu1492|4|1492|d4050000" "mtu1400|2|1400|78050000"; do
    IFS='|' read -r path card mtu hex <<<"$route"
    service=$(in_client wine reg query "$cards\\$card" /v ServiceName /reg:64 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
    in_client ip route flush cache
    console_run "$program" probe "${TOPOLOGY_HOST[$path]}" --apply --adapter route
    want=$(printf '> %s\\INTERFACES\\%s|MTU\t4\t%s' "$params" "$(upper "$service")" "$hex")
    [ "$code" = 0 ] && grep -q "^The route to .* leaves through card $card  " <<<"$out" &&
      [ "$(changes "$before" "$(values)")" = "$want" ] ||
      fail "$name probe $path --apply --adapter route: exit $code: $out $(cat "$work/err")"
    console_run "$program" remove
  done
  echo "$name --adapter: by number, service name and name, and the route's adapter for two hosts; nothing else changed"
done
# The switch goes off with the MTU of the last card that held none, and
# comes back on with the first removed.
for card in 1 2 3 4; do
  console_run "$cli64" apply 1300 --adapter "$card"
done
[ "$code" = 0 ] && grep -q 'path-MTU discovery is now off' <<<"$out" &&
  grep -qxF "$(printf '> %s|ENABLEPMTUDISCOVERY\t4\t00000000' "$params")" <<<"$(changes "$before" "$(values)")" ||
  fail "apply --adapter to every card: exit $code: $out $(changes "$before" "$(values)")"
console_run "$cli64" remove --adapter 2
[ "$code" = 0 ] && ! grep -q "ENABLEPMTUDISCOVERY" <<<"$(changes "$before" "$(values)")" ||
  fail "remove --adapter 2 after every card held an MTU: exit $code: $out"
console_run "$cli64" remove
echo "--adapter: path-MTU discovery off once every card holds an MTU, on again once one holds none"
in_client ip route del "${TOPOLOGY_HOST[mtu1492]}/32"

# A card with an awkward service name and values of unexpected types.
odd='{odd "name" ];=x-é}'
reg64=/reg:64
in_client wine reg add "$cards\\9" /v ServiceName /d "$odd" /f $reg64 >/dev/null 2>&1
in_client wine reg add "$interfaces\\$odd" /v MTU /t REG_SZ /d 'a "quoted" \ text' /f >/dev/null 2>&1
eth0=$(serviceOf 2)
long=$(printf 'x%.0s' $(seq 1500))
in_client wine reg add "$interfaces\\$eth0" /v MTU /t REG_SZ /d "$long" /f >/dev/null 2>&1
wan=$(serviceOf 3)
in_client wine reg add "$interfaces\\$wan" /v MTU /t REG_MULTI_SZ /d 'a\0b' /f >/dev/null 2>&1
lo=$(serviceOf 1)
in_client wine reg delete "$interfaces\\$lo" /v MTU /f >/dev/null 2>&1
in_client wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' /v EnablePMTUDiscovery /f >/dev/null 2>&1
# A service name with é in it: show, redirected, in the OEM code page (0x82);
# export, a REGEDIT4 file, in the ANSI one (0xE9).
console_run "$cli64" show
LC_ALL=C grep -aq $'^  card 9  {odd "name" ];=x-\x82}' <<<"$out" || fail "show redirected: card 9 not in the OEM code page: $(grep -a 'card 9' <<<"$out" | od -c | head -n 3)"
console_run "$cli64" export
LC_ALL=C grep -aq $'Interfaces\\\\{odd "name" ];=x-\xe9}]' <<<"$out" || fail "export redirected: card 9 not in the ANSI code page"
both "$cli32" "$cli64"
round_trip "${clis[0]}"
for program in "${clis[@]}"; do export_fails "$program"; done
console_run "$cli64" export
echo "export on the NT family (the long text cut short here):"
sed -E 's/((78,){24}\\)$/.../' <<<"$out" | uniq
grep -aq '^"MTU"=-$' <<<"$out" || fail "export: no deletion for a card without an MTU"
# The switch stored, one card with a DWORD and the others as they are.
in_client wine reg add 'HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' /v EnablePMTUDiscovery /t REG_DWORD /d 1 /f >/dev/null 2>&1
in_client wine reg add "$interfaces\\$wan" /v MTU /t REG_DWORD /d 576 /f >/dev/null 2>&1
round_trip "$cli64"
WINEPREFIX=$work/prefix64 in_client wineserver -k 2>/dev/null

# ---- 9x family ----
if [ -z "$runs32" ]; then
  echo "SKIPPED: the 9x family, whose prefix is a 32-bit one"
  echo "show and export on the namespaces' network: $failures failures"
  [ "$failures" = 0 ]
  exit
fi
export WINEPREFIX=$work/prefix98
dump=$dump32
WINEARCH=win32 prefix_in_client "$WINEPREFIX" win98
transports='HKLM\System\CurrentControlSet\Services\Class\NetTrans'
in_client wine reg add "$transports\\0000" /v IPAddress /d 192.0.2.2 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0000" /v MaxMTU /d 576 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0000" /v DriverDesc /d 'TCP/IP' /f >/dev/null 2>&1
in_client wine reg add "$transports\\0001" /v IPAddress /d 198.51.100.41 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0002" /v DriverDate /d 1-1-1998 /f >/dev/null 2>&1
in_client wine reg add "$transports\\0002" /v MaxMTU /t REG_BINARY /d 0102ff /f >/dev/null 2>&1
console_run "$cli32" show
echo "quillon-mtu-cli.exe show as Windows 98:"
echo "$out"
grep -aq '^  transport 0000  192.0.2.2  "TCP/IP"  MaxMTU 576  in use now: 1500 (576 from the next restart)$' <<<"$out" ||
  fail "Windows 98 show: transport 0000"
grep -aq '^  transport 0001  198.51.100.41  no MaxMTU stored  in use now: 1400$' <<<"$out" ||
  fail "Windows 98 show: transport 0001"
round_trip "$cli32"
in_client wine reg add 'HKLM\System\CurrentControlSet\Services\VxD\MSTCP' /v PMTUDiscovery /d 1 /f >/dev/null 2>&1
round_trip "$cli32"
export_fails "$cli32"
console_text "$cli32"
# --adapter on the 9x family: by transport number, IP address and name, and
# the route's transport (its IP address is the route's).
in_client wine reg add "$transports\\0003" /v IPAddress /d 198.51.100.45 /f >/dev/null 2>&1
in_client ip route add "${TOPOLOGY_HOST[mtu1492]}/32" via 198.51.100.46 dev wan1492
console_run "$cli32" remove
before=$(values)
nettrans='VAL SYSTEM\CURRENTCONTROLSET\SERVICES\CLASS\NETTRANS'
mstcp='> VAL SYSTEM\CURRENTCONTROLSET\SERVICES\VXD\MSTCP|PMTUDISCOVERY'
for named in "0001|0001" "198.51.100.41|0001" "tcp/ip|0000"; do
  IFS='|' read -r adapter transport <<<"$named"
  console_run "$cli32" apply 576 --adapter "$adapter"
  want=$(printf '> %s\\%s|MAXMTU\t1\t35373600' "$nettrans" "$transport")
  [ "$code" = 0 ] && [ "$(changes "$before" "$(values)")" = "$want" ] ||
    fail "Windows 98 apply --adapter $adapter: exit $code: $(changes "$before" "$(values)")"
  console_run "$cli32" remove --adapter "$adapter"
  [ "$code" = 0 ] && [ "$(values)" = "$before" ] || fail "Windows 98 remove --adapter $adapter: exit $code: $out"
done
in_client ip route flush cache
console_run "$cli32" probe "${TOPOLOGY_HOST[mtu1492]}" --apply --adapter route
want=$(printf '> %s\\0003|MAXMTU\t1\t3134393200' "$nettrans")
[ "$code" = 0 ] && grep -q '^The route to .* leaves through transport 0003  198.51.100.45' <<<"$out" &&
  [ "$(changes "$before" "$(values)")" = "$want" ] ||
  fail "Windows 98 probe --apply --adapter route: exit $code: $out $(changes "$before" "$(values)")"
echo "quillon-mtu-cli.exe as Windows 98 --adapter: by number, address and name, and the route's transport"
for transport in 0000 0001 0003; do
  console_run "$cli32" apply 576 --adapter "$transport"
done
[ "$code" = 0 ] && grep -qxF "$(printf '%s\t1\t3000' "$mstcp")" <<<"$(changes "$before" "$(values)")" ||
  fail "Windows 98 apply --adapter to every transport: exit $code: $out $(changes "$before" "$(values)")"
console_run "$cli32" remove --adapter 0001
[ "$code" = 0 ] && ! grep -q "PMTUDISCOVERY" <<<"$(changes "$before" "$(values)")" ||
  fail "Windows 98 remove --adapter 0001 after every transport held an MTU: exit $code: $out"
echo "quillon-mtu-cli.exe as Windows 98 --adapter: PMTUDiscovery off once every transport holds a MaxMTU, on again after"

echo "show and export on the namespaces' network: $failures failures"
[ "$failures" = 0 ]

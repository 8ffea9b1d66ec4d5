#!/usr/bin/env bash
# A check of the test equipment: the IP-helper stand-in (standin.sh) on the
# namespaces' network, through quillon_standin_check run by the x64 program
# and by the 32-bit one under WOW64 in one 64-bit prefix. Without the stand-in
# Wine's own echo ignores don't-fragment; with it an echo too big for the
# interface or for a path MTU already learnt is refused at once, a router's
# "fragmentation needed" comes back as IP_PACKET_TOO_BIG and its MTU is listed
# by GetIpPathTable, over IPv6 a router's Packet Too Big likewise (and the
# echo is fragmented here from then on, as Windows does), GetBestInterfaceEx
# gives the IPv6 route's interface, GetIpInterfaceTable and
# GetIpInterfaceEntry give each interface's NlMtu as SetIpInterfaceEntry set
# it, for every process (Wine's own table fails, and Wine has neither
# function), and the other IP-helper calls answer as before.
#   standin-check.sh STANDIN64_DIR CHECK64 STANDIN32_DIR CHECK32 WORK_DIR
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
standin64=$1 check64=$2 standin32=$3 check32=$4 work=$5
net=qsin$$
. "$here/harness.sh"
. "$here/standin.sh"
if [ -n "$runs32" ]; then checkers=("$check64" "$check32"); else checkers=("$check64"); fi
for file in "$standin32/iphlpapi.dll" "$check32"; do
  [ -f "$file" ] || { echo "FAIL: no $file: build the windows32 preset first"; exit 1; }
done
export WINEPREFIX=$work/prefix64 STANDIN_IN="ip netns exec $net-c"
prefix_in_client "$WINEPREFIX" ""

near=${TOPOLOGY_HOST[mtu1500]}
eth0=2  # its interface index, the route's to both hosts: checked below
far=${TOPOLOGY_HOST[mtu1400]}
router=192.0.2.1
# Each case, its fields split by ";": the checker's arguments (or "!" and a
# command for the client namespace), what its output, on one line, must match
# (an extended regular expression), how many echo requests must reach the
# router ("-": not counted; IPv4 fragments are not echo requests there, but
# over IPv6 r1 counts every UDP datagram and each of its fragments) and the
# most it may take in ms (empty: no bound). 11009 is IP_PACKET_TOO_BIG, 1168
# ERROR_NOT_FOUND, 87 ERROR_INVALID_PARAMETER.
at_once=50
timed_out_at_300='^returned 0 status 11010 in (29[0-9]|[34][0-9][0-9]) ms$'
with_standin=(
  "!ip route flush cache;;-;"
  "forget;^FlushIpPathTable: 0$;0;"
  "paths;^GetIpPathTable: 1168$;0;"
  "echo $near 1473 df;^returned 0 status 11009 in;0;$at_once"
  "echo $near 1472 df;^returned 1 status 0 from $near data 1472 in;1;"
  "echo $far 1472 df;^returned 1 status 11009 from $router data 0 in;1;"
  "paths;^GetIpPathTable: 0 path $far mtu 1400 interface ([1-9][0-9]*) best \\1$;0;"
  "echo $far 1472 df;^returned 0 status 11009 in;0;$at_once"
  # The host forgets; the stand-in does not, as Windows would not.
  "!ip route flush cache;;-;"
  "echo $far 1373 df;^returned 0 status 11009 in;0;$at_once"
  "echo $far 1372 df;^returned 1 status 0 from $far data 1372 in;1;"
  "echo $far 1472;^returned 1 status 0 from $far data 1472 in;-;"
  "echo $far 1372 df reply=-1;^returned 0 status 11001 in;0;"
  "echo $far 64 df handle=closed;^returned 0 status 87 in;0;"
  # r1 says "unreachable" only a second after its last ICMP error to the
  # client (Linux's rate limit of route errors, which icmp_ratelimit=0
  # does not lift): well after the "fragmentation needed" above.
  "echo ${TOPOLOGY_HOST[unreachable]} 64 df;^returned 1 status 11002 from $router data 0 in;1;"
  "echo $far 64 df ttl=1;^returned 1 status 11013 from $router data 0 in;1;"
  "echo ${TOPOLOGY_HOST[drops-echo]} 64 df timeout=300;$timed_out_at_300;1;"
  "paths family=23;^GetIpPathTable: 1168$;0;"
  "paths family=99;^GetIpPathTable: 87$;0;"
  "interfaces $far family=23;GetIpInterfaceTable: 0 rows 4( interface [^ ]+ [^ ]+ family 23 [^N]+ NlMtu [0-9]+){4}$;0;"
  "interfaces $far family=99;GetIpInterfaceTable: 87$;0;"
  "interfaces $far family=0;GetIpInterfaceTable: 0 rows 8( interface [^ ]+ [^ ]+ family 2 [^N]+ NlMtu [0-9]+){4}( interface [^ ]+ [^ ]+ family 23 [^N]+ NlMtu [0-9]+){4}$;0;"
  "mtu $eth0;^GetIpInterfaceEntry: 0 NlMtu 1500$;0;"
  "mtu $eth0 set=1300;^GetIpInterfaceEntry: 0 NlMtu 1500 SetIpInterfaceEntry: 0 read back: 0 NlMtu 1300$;0;"
  "echo $far 1273 df;^returned 0 status 11009 in;0;$at_once"
  "echo $far 1272 df;^returned 1 status 0 from $far data 1272 in;1;"
  "mtu $eth0 set=575;SetIpInterfaceEntry: 87 read back: 0 NlMtu 1300$;0;"
  "mtu $eth0 set=1400 site=8;SetIpInterfaceEntry: 87 read back: 0 NlMtu 1300$;0;"
  "mtu $eth0 set=1400 family=99;SetIpInterfaceEntry: 87 ;0;"
  "mtu $eth0 set=1200 family=23;SetIpInterfaceEntry: 87 ;0;"
  "mtu $eth0 set=1400 family=23;SetIpInterfaceEntry: 0 read back: 0 NlMtu 1300$;0;"
  "mtu 9999;^GetIpInterfaceEntry: 1168 ;0;"
  "mtu $eth0 set=1500;read back: 0 NlMtu 1500$;0;"
  "forget;^FlushIpPathTable: 0$;0;"
  "paths;^GetIpPathTable: 1168$;0;"
)
# IPv6, on topology.sh's client 2001:db8:2::2 (eth0, by r1 2001:db8:2::1):
# on the way to far6 r1 names an MTU of 1400, near6's carries 1500, and
# hole6's router says nothing of its 1400. Each echo is a UDP datagram of the
# echo's size (the stand-in has no ICMPv6 socket in Wine), and r1 counts each
# datagram and each fragment: 2 for an echo fragmented here, 3 for one that
# went whole to a host that had forgotten the path MTU, heard Packet Too Big
# and went again in fragments. Windows fragments an echo larger than a path
# MTU it learnt, so only the first gets IP_PACKET_TOO_BIG (not counted: the
# datagrams of hop limit 1 that find the MTU the host learnt reach r1 too).
near6=${TOPOLOGY_HOST6[mtu1500]} far6=${TOPOLOGY_HOST6[mtu1400]} hole6=${TOPOLOGY_HOST6[black-hole]}
with_standin6=(
  "!ip -6 route flush cache;;-;"
  "forget family=23;^FlushIpPathTable: 0$;0;"
  # Above the NlMtu of the route's interface the echo is fragmented here, and
  # nothing is learnt.
  "mtu $eth0 set=1400 family=23;SetIpInterfaceEntry: 0 ;0;"
  "echo6 $far6 1452;^returned 1 status 0 from $far6 data 1452 in;3;"
  "paths family=23;^GetIpPathTable: 1168$;0;"
  "mtu $eth0 set=1500 family=23;SetIpInterfaceEntry: 0 ;0;"
  "!ip -6 route flush cache;;-;"
  "best6 $far6;^GetBestInterfaceEx $far6: 0 index $eth0$;0;"
  "best6 null;^GetBestInterfaceEx null: 87 ;0;"
  "echo6 $far6 1352 parse;^returned 1 status 0 from $far6 data 1352 in [0-9]+ ms parsed 1$;1;"
  "echo6 $far6 1452 parse;^returned 1 status 11009 from $far6 data 0 in [0-9]+ ms parsed 0 error 11009$;-;"
  "paths family=23;^GetIpPathTable: 0 path $far6 mtu 1400 interface $eth0 best $eth0$;0;"
  "echo6 $far6 1452;^returned 1 status 0 from $far6 data 1452 in;2;"
  "paths family=23;^GetIpPathTable: 0 path $far6 mtu 1400 interface $eth0 best $eth0$;0;"
  # The host forgets; the stand-in does not, and the echo still goes in fragments.
  "!ip -6 route flush cache;;-;"
  "echo6 $far6 1452;^returned 1 status 0 from $far6 data 1452 in;3;"
  "echo6 $near6 1452;^returned 1 status 0 from $near6 data 1452 in;1;"
  "echo6 $hole6 1452 timeout=300;$timed_out_at_300;1;"
  "echo6 $far6 1352 reply=-1;^returned 0 status 11001 in;0;"
  "echo6 $far6 64 handle=closed;^returned 0 status 87 in;0;"
  "echo6 $far6 64 handle=ipv4;^returned 0 status 87 in;0;"
  # Both families: IPv4's were forgotten above.
  "paths family=0;^GetIpPathTable: 0 path $far6 mtu 1400 interface $eth0 best $eth0$;0;"
  "forget family=23;^FlushIpPathTable: 0$;0;"
  "paths family=0;^GetIpPathTable: 1168$;0;"
)
# Wine's own: don't-fragment is dropped, so nothing is refused here; the host
# fragments once a router has named the path's MTU. Its IPv6 echo and
# GetBestInterfaceEx for IPv6 fail.
without_standin=(
  "!ip route flush cache;;-;"
  "paths;^GetIpPathTable: not exported$;0;"
  "mtu $eth0;^GetIpInterfaceEntry: not exported$;0;"
  "echo $near 1473 df;^returned 1 status 0 from $near data 1473 in;-;"
  "echo $far 1472 df;^returned (1 status (0|11009) from|0 status 11010 in);-;"
  "echo $far 1472 df;^returned 1 status 0 from $far data 1472 in;-;"
  "echo6 $far6 64;^Icmp6CreateFile failed: 120$;-;"
  "best6 $far6;^GetBestInterfaceEx $far6: 50 index 0$;-;"
)

# run_cases CHECKER CASE...
run_cases() {
  local checker=$1 name c args want want_probes most before out probes ms
  name=$(basename "$(dirname "$(dirname "$checker")")")
  shift
  for c in "$@"; do
    # Out of time: stop here, so that the trap still removes the network.
    [ "$SECONDS" -lt 240 ] || { fail "out of time"; exit 1; }
    IFS=';' read -r args want want_probes most <<<"$c"
    if [ "${args:0:1}" = "!" ]; then
      in_client ${args:1}
      continue
    fi
    before=$(($(topology_probes "$net") + $(topology_probes6 "$net")))
    CONSOLE_SECONDS=20 console_run "$checker" $args
    out=$(paste -sd ' ' <<<"$out")
    probes=$(($(topology_probes "$net") + $(topology_probes6 "$net") - before))
    echo "$name $args: $out; $probes at the router"
    grep -Eq "$want" <<<"$out" || fail "$name $args: '$out' does not match '$want'"
    [ "$want_probes" = - ] || [ "$probes" = "$want_probes" ] ||
      fail "$name $args: $probes requests sent, not $want_probes"
    ms=$(sed -n 's/.* in \([0-9]*\) ms.*/\1/p' <<<"$out")
    [ -z "$most" ] || [ "${ms:-99999}" -le "$most" ] || fail "$name $args: $ms ms, not at once"
  done
}
# interfaces CHECKER: what the other IP-helper calls say of the test network.
interfaces() { CONSOLE_SECONDS=20 console_run "$1" interfaces "$far"; echo "$out"; }
# nl_mtus: GetIpInterfaceTable's NlMtu in the interfaces output, as
# ADDRESS=MTU on one line ("-": the loopback), leaving out rows whose family,
# LUID or connected state are wrong.
nl_mtus() {
  sed -n 's/^interface [0-9]* \([-0-9.]*\) family 2 luid same connected 1 NlMtu \([0-9]*\)$/\1=\2/p' |
    LC_ALL=C sort | paste -sd ' '
}
# The NlMtu of the client's interfaces when eth0 has this one.
nl_mtus_with() { echo "-=4294967295 192.0.2.2=$1 198.51.100.41=1400 198.51.100.45=1492"; }
# The other IP-helper calls, which the stand-in forwards.
forwarded() { grep -v '^GetIpInterfaceTable: \|^interface ' "$1"; }

for checker in "${checkers[@]}"; do
  interfaces "$checker" >"$work/wine-$(basename "$(dirname "$(dirname "$checker")")").txt"
  run_cases "$checker" "${without_standin[@]}"
done
for file in "$work"/wine-*.txt; do
  grep -q '^GetIpInterfaceTable: 50$' "$file" || fail "$file: Wine's own GetIpInterfaceTable did not fail"
done
standin_install "$WINEPREFIX" "$standin64" "$standin32" || fail "standin_install"
for checker in "${checkers[@]}"; do
  build=$(basename "$(dirname "$(dirname "$checker")")")
  run_cases "$checker" "${with_standin[@]}" "${with_standin6[@]}"
  interfaces "$checker" >"$work/standin-$build.txt"
  if ! diff <(forwarded "$work/wine-$build.txt") <(forwarded "$work/standin-$build.txt"); then
    fail "$build: the other IP-helper calls answer otherwise with the stand-in"
  fi
  # What was compared must be the test network as Wine lists it.
  for want in "^GetBestInterface $far: 0 index $eth0$" "^GetBestInterfaceEx $far: 0 index $eth0$" \
    " 192\.0\.2\.2 GetIfEntry 0 mtu 1500$" \
    " 198\.51\.100\.41 GetIfEntry 0 mtu 1400$" " 198\.51\.100\.45 GetIfEntry 0 mtu 1492$" \
    "^GetIpInterfaceTable: 0 rows 4$"; do
    grep -Eq "$want" "$work/standin-$build.txt" || fail "$build interfaces: no line '$want'"
  done
  got=$(nl_mtus <"$work/standin-$build.txt")
  [ "$got" = "$(nl_mtus_with 1500)" ] || fail "$build: GetIpInterfaceTable gives $got"
done
echo "the IP-helper calls with the stand-in:"
cat "$work/standin-windows.txt"

# eth0's NlMtu as the x64 checker sets it, for both checkers; GetIfEntry stays.
for set in 1300 1500; do
  in_client wine "$check64" mtu "$eth0" set=$set >/dev/null 2>&1
  for checker in "${checkers[@]}"; do
    build=$(basename "$(dirname "$(dirname "$checker")")")
    out=$(interfaces "$checker")
    got=$(nl_mtus <<<"$out")
    echo "$build, NlMtu $set set for eth0: NlMtu $got"
    [ "$got" = "$(nl_mtus_with "$set")" ] || fail "$build: NlMtu $set set, NlMtu $got"
    grep -q ' 192\.0\.2\.2 GetIfEntry 0 mtu 1500$' <<<"$out" || fail "$build: eth0's GetIfEntry changed"
  done
done
standin_remove "$WINEPREFIX" || fail "standin_remove"
run_cases "$check64" "${without_standin[@]:1:1}"

echo "the IP-helper stand-in on the namespaces' network: $failures failures"
[ "$failures" = 0 ]

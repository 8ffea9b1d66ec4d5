#!/usr/bin/env bash
# A small routed network in Linux network namespaces, for the tests of the
# console program's probe and of what show reads from the system. Only the
# documentation ranges are used and no namespace has a route out of it.
#
#   client (192.0.2.2, and two more links of MTU 1400 and 1492 to r1)
#          -- r1 -- one link per path, each of its own MTU -- host
#                          r1 -- r2 (link 1450) -- host (link 1300)
#                          r1 -- r3, which drops its own "fragmentation
#                                needed" (a black hole) -- host (link 1400)
#
# The host answers on one address per path, in 203.0.113.0/24; it sends its
# answers back over the 1500 link. Sourced: topology_up NAME builds it with
# namespaces NAME-c, NAME-r1, NAME-r2, NAME-r3 and NAME-h; topology_down NAME
# removes them.

# Address of the host on each path, by the path's name.
declare -A TOPOLOGY_HOST=(
  [mtu1400]=203.0.113.14 [mtu1492]=203.0.113.21 [mtu1280]=203.0.113.28 [mtu576]=203.0.113.57
  [mtu1500]=203.0.113.15 [two-routers]=203.0.113.45 [black-hole]=203.0.113.60
  [black-hole-loss]=203.0.113.61 [drops-echo]=203.0.113.70 [unreachable]=203.0.113.99
)

topology_down() {
  local n
  for n in c r1 r2 r3 h; do
    ip netns del "$1-$n" 2>/dev/null
  done
  rm -rf "/etc/netns/$1-c"
  return 0
}

# topology_link NS1 DEV1 ADDR1 NS2 DEV2 ADDR2 MTU: a veth pair with a /30.
topology_link() {
  ip link add name "$2" netns "$1" type veth peer name "$5" netns "$4" &&
    ip -n "$1" addr add "$3/30" dev "$2" && ip -n "$4" addr add "$6/30" dev "$5" &&
    ip -n "$1" link set "$2" mtu "$7" up && ip -n "$4" link set "$5" mtu "$7" up
}

topology_up() {
  local name=$1 n
  topology_down "$name"
  for n in c r1 r2 r3 h; do
    ip netns add "$name-$n" || return 1
    ip -n "$name-$n" link set lo up
    ip netns exec "$name-$n" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 \
      net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_msgs_per_sec=100000
  done
  for n in r1 r2 r3; do
    ip netns exec "$name-$n" sysctl -qw net.ipv4.ip_forward=1
  done
  local c=$name-c r1=$name-r1 r2=$name-r2 r3=$name-r3 h=$name-h
  # The client and the first router.
  ip link add name eth0 netns "$c" type veth peer name client netns "$r1" || return 1
  ip -n "$c" addr add 192.0.2.2/24 dev eth0 && ip -n "$r1" addr add 192.0.2.1/24 dev client
  ip -n "$c" link set eth0 up && ip -n "$r1" link set client up
  # Two more interfaces of the client, of known MTU, for show.
  topology_link "$c" wan1400 198.51.100.41 "$r1" c1400 198.51.100.42 1400 &&
    topology_link "$c" wan1492 198.51.100.45 "$r1" c1492 198.51.100.46 1492 || return 1
  ip -n "$c" route add 203.0.113.0/24 via 192.0.2.1
  ip -n "$c" route add 198.51.100.0/24 via 192.0.2.1
  # One link from r1 to the host for each MTU; the 1500 one carries the answers.
  local i=0 mtu
  for mtu in 1500 1400 1492 1280 576; do
    topology_link "$r1" "h$mtu" "198.51.100.$((4 * i + 1))" "$h" "r$mtu" "198.51.100.$((4 * i + 2))" "$mtu" || return 1
    i=$((i + 1))
  done
  ip -n "$h" route add 192.0.2.0/24 via 198.51.100.1
  local path
  for path in mtu1500 drops-echo; do ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.2; done
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1400]}" via 198.51.100.6
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1492]}" via 198.51.100.10
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1280]}" via 198.51.100.14
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu576]}" via 198.51.100.18
  # Two routers in series: r1 -> r2 over 1450, r2 -> host over 1300.
  topology_link "$r1" r2 198.51.100.21 "$r2" r1 198.51.100.22 1450 &&
    topology_link "$r2" host 198.51.100.25 "$h" r2 198.51.100.26 1300 || return 1
  ip -n "$r1" route add "${TOPOLOGY_HOST[two-routers]}" via 198.51.100.22
  ip -n "$r2" route add "${TOPOLOGY_HOST[two-routers]}" via 198.51.100.26
  ip -n "$r2" route add 192.0.2.0/24 via 198.51.100.21
  # The black hole: r3 says nothing when a packet is too big for its link.
  topology_link "$r1" r3 198.51.100.29 "$r3" r1 198.51.100.30 1500 &&
    topology_link "$r3" host 198.51.100.33 "$h" r3 198.51.100.34 1400 || return 1
  for path in black-hole black-hole-loss; do
    ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.30
    ip -n "$r3" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.34
  done
  ip -n "$r3" route add 192.0.2.0/24 via 198.51.100.29
  ip netns exec "$r3" nft -f - <<'NFT' || return 1
table ip blackhole {
  chain leaving { type filter hook output priority 0; icmp type destination-unreachable icmp code frag-needed drop; }
}
NFT
  # One probe in five to the lossy black hole is lost; r1 counts what the
  # client sends on every path (its prerouting hook sees a probe before any
  # MTU check).
  ip netns exec "$r1" nft -f - <<NFT || return 1
table ip path {
  counter probes { }
  chain arriving { type filter hook prerouting priority 0; iifname "client" icmp type echo-request counter name probes; }
  chain forwarded { type filter hook forward priority 0; ip daddr ${TOPOLOGY_HOST[black-hole-loss]} icmp type echo-request numgen random mod 5 == 0 drop; }
}
NFT
  # The host: every path's address, and one that drops echo requests.
  for path in "${!TOPOLOGY_HOST[@]}"; do
    [ "$path" = unreachable ] || ip -n "$h" addr add "${TOPOLOGY_HOST[$path]}/32" dev lo
  done
  ip netns exec "$h" nft -f - <<NFT || return 1
table ip host {
  chain arriving { type filter hook input priority 0; ip daddr ${TOPOLOGY_HOST[drops-echo]} icmp type echo-request drop; }
}
NFT
  # Names for the client: one host name; every other name fails at once.
  mkdir -p "/etc/netns/$c"
  printf '127.0.0.1 localhost\n%s bottleneck.test\n' "${TOPOLOGY_HOST[mtu1400]}" >"/etc/netns/$c/hosts"
  : >"/etc/netns/$c/resolv.conf"
}

# topology_probes NAME: how many echo requests the client has sent so far.
topology_probes() {
  ip netns exec "$1-r1" nft list counter ip path probes | sed -n 's/.*packets \([0-9]*\).*/\1/p'
}

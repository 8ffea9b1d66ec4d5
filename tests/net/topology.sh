#!/usr/bin/env bash
# A small routed network in Linux network namespaces, for the tests of the
# console program's probe and of what show reads from the system. Only the
# documentation ranges are used and no namespace has a route out of it.
#
#   client (192.0.2.2, and two more links of MTU 1400 and 1492 to r1)
#          -- r1 -- one link per path, each of its own MTU (552 among them) -- host
#                          r1 -- r2 (link 1450) -- host (link 1300)
#                          r1 -- r3, which drops its own "fragmentation
#                                needed" (a black hole) -- host (link 1400):
#                                black-hole, and the same losing one probe in
#                                five, or one packet in ten each way
#                          r1 -- (link 1400) -- responder: cut68, late
#                          r1 -- r3 -- (link 1400) -- responder:
#                                cut556-black-hole, rate-limited (two a
#                                second), rate1 (one a second), every400 (one
#                                every 400 ms), late-jitter (1 to 2 s late)
#
# The host answers on one address per path, in 203.0.113.0/24, at once and
# whole. The echo responder (responder.py, in a namespace whose kernel ignores
# echo requests) answers as real hosts do: cut short, late or rate-limited.
# Both send their answers back to r1 over a link of 1500. r2 keeps the
# kernel's own limits on ICMP errors and limits its "fragmentation needed"
# too; the other namespaces have no limits.
# IPv6 runs beside IPv4 (client 2001:db8:2::2, the host's addresses in
# 2001:db8:113::/48, each link a /64 of 2001:db8:51::/48) on the host's paths
# of 1400, 1492, 1280 and 1500, the two routers, the black hole and its lossy
# twin, and to an unreachable address; not to the responder, and not over the
# links of 576 and 552, which are below IPv6's smallest MTU of 1280.
# Sourced: topology_up NAME builds it with namespaces NAME-c, NAME-r1,
# NAME-r2, NAME-r3, NAME-h and NAME-e and starts the responder for
# TOPOLOGY_SECONDS (1800 unless set); topology_down NAME stops the responder
# and removes them.

# Address of the host on each path, by the path's name.
declare -A TOPOLOGY_HOST=(
  [mtu1400]=203.0.113.14 [mtu1492]=203.0.113.21 [mtu1280]=203.0.113.28 [mtu576]=203.0.113.57
  [mtu1500]=203.0.113.15 [two-routers]=203.0.113.45 [black-hole]=203.0.113.60
  [black-hole-loss]=203.0.113.61 [drops-echo]=203.0.113.70 [unreachable]=203.0.113.99
  [cut68]=203.0.113.68 [late]=203.0.113.80 [cut556-black-hole]=203.0.113.56 [rate-limited]=203.0.113.90
  [mtu552]=203.0.113.52 [black-hole-loss10]=203.0.113.62 [rate1]=203.0.113.91 [every400]=203.0.113.92
  [late-jitter]=203.0.113.81
)
# The host's IPv6 address on each path that has one.
declare -A TOPOLOGY_HOST6=(
  [mtu1400]=2001:db8:113::14 [mtu1492]=2001:db8:113::21 [mtu1280]=2001:db8:113::28
  [mtu1500]=2001:db8:113::15 [two-routers]=2001:db8:113::45 [black-hole]=2001:db8:113::60
  [black-hole-loss]=2001:db8:113::61 [unreachable]=2001:db8:113::99
)
# How the responder answers on each of its paths (responder.py's settings).
declare -A TOPOLOGY_RESPONDER=(
  [cut68]=cut=68 [late]=delay=1300 [cut556-black-hole]=cut=556 [rate-limited]=rate=2
  [rate1]=rate=1 [every400]=every=400 [late-jitter]=delay=1000,jitter=1000
)
TOPOLOGY_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# topology_responder_file NAME pid|log: the responder writes its pid to the
# first once it listens, its errors to the second.
topology_responder_file() { echo "/run/$1-e.responder.$2"; }

topology_stop_responder() {
  local file pid i
  file=$(topology_responder_file "$1" pid)
  pid=$(cat "$file" 2>/dev/null)
  # Only a process in this network's namespace: a pid left in an old file may be another's by now.
  if [[ $pid =~ ^[0-9]+$ ]] && [ "$(ip netns identify "$pid" 2>/dev/null)" = "$1-e" ]; then
    kill "$pid" 2>/dev/null
    for i in $(seq 40); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
  fi
  rm -f "$file" "$file.new" "$(topology_responder_file "$1" log)"
}

topology_down() {
  local n
  topology_stop_responder "$1"
  for n in c r1 r2 r3 h e; do
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

# topology_link6 NS1 DEV1 NS2 DEV2 N: IPv6 on a pair topology_link made, the
# /64 2001:db8:51:N:: (N the number of its IPv4 /30 in 198.51.100.0/24), ::1
# on the first side and ::2 on the second.
topology_link6() {
  ip -n "$1" addr add "2001:db8:51:$5::1/64" dev "$2" && ip -n "$3" addr add "2001:db8:51:$5::2/64" dev "$4"
}

topology_up() {
  local name=$1 n
  topology_down "$name"
  # r2 keeps this kernel's limits on ICMP errors: icmp_ratelimit=1000 (ms per error to one destination,
  # after a burst of six), icmp_msgs_per_sec=1000 with icmp_msgs_burst=50 for all destinations together,
  # icmp_ratemask=6168 (unreachable, source quench, time exceeded, parameter problem); for ICMPv6
  # ratelimit=100 (ms per error to one destination, a quarter of that through a /64 route) with
  # ratemask 0-1,3-127: every error but "packet too big", which r2 sends for every packet, unlimited.
  # IPv6 addresses are usable at once: no duplicate address detection, set before any link is made.
  for n in c r1 r2 r3 h e; do
    ip netns add "$name-$n" || return 1
    ip -n "$name-$n" link set lo up
    ip netns exec "$name-$n" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 \
      net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
    [ "$n" = r2 ] || ip netns exec "$name-$n" sysctl -qw net.ipv4.icmp_ratelimit=0 \
      net.ipv4.icmp_msgs_per_sec=100000 net.ipv6.icmp.ratelimit=0
  done
  for n in r1 r2 r3; do
    ip netns exec "$name-$n" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1
  done
  local c=$name-c r1=$name-r1 r2=$name-r2 r3=$name-r3 h=$name-h
  # The client and the first router.
  ip link add name eth0 netns "$c" type veth peer name client netns "$r1" || return 1
  ip -n "$c" addr add 192.0.2.2/24 dev eth0 && ip -n "$r1" addr add 192.0.2.1/24 dev client
  ip -n "$c" addr add 2001:db8:2::2/64 dev eth0 && ip -n "$r1" addr add 2001:db8:2::1/64 dev client
  ip -n "$c" link set eth0 up && ip -n "$r1" link set client up
  # Two more interfaces of the client, of known MTU, for show.
  topology_link "$c" wan1400 198.51.100.41 "$r1" c1400 198.51.100.42 1400 &&
    topology_link "$c" wan1492 198.51.100.45 "$r1" c1492 198.51.100.46 1492 || return 1
  ip -n "$c" route add 203.0.113.0/24 via 192.0.2.1
  ip -n "$c" route add 198.51.100.0/24 via 192.0.2.1
  ip -n "$c" route add 2001:db8:113::/48 via 2001:db8:2::1
  # One link from r1 to the host for each MTU; the 1500 one carries the answers.
  local i=0 mtu
  for mtu in 1500 1400 1492 1280 576; do
    topology_link "$r1" "h$mtu" "198.51.100.$((4 * i + 1))" "$h" "r$mtu" "198.51.100.$((4 * i + 2))" "$mtu" || return 1
    [ "$mtu" = 576 ] || topology_link6 "$r1" "h$mtu" "$h" "r$mtu" "$i" || return 1
    i=$((i + 1))
  done
  ip -n "$h" route add 192.0.2.0/24 via 198.51.100.1
  ip -n "$h" route add 2001:db8:2::/64 via 2001:db8:51:0::1
  # The client's two other links, for probes whose route leaves through them.
  ip -n "$h" route add 198.51.100.40/29 via 198.51.100.1
  local path
  for path in mtu1500 drops-echo; do ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.2; done
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1400]}" via 198.51.100.6
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1492]}" via 198.51.100.10
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu1280]}" via 198.51.100.14
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu576]}" via 198.51.100.18
  ip -n "$r1" route add "${TOPOLOGY_HOST6[mtu1500]}" via 2001:db8:51:0::2
  ip -n "$r1" route add "${TOPOLOGY_HOST6[mtu1400]}" via 2001:db8:51:1::2
  ip -n "$r1" route add "${TOPOLOGY_HOST6[mtu1492]}" via 2001:db8:51:2::2
  ip -n "$r1" route add "${TOPOLOGY_HOST6[mtu1280]}" via 2001:db8:51:3::2
  # A path narrower than the 576 bytes every IPv4 host must take whole.
  topology_link "$r1" h552 198.51.100.57 "$h" r552 198.51.100.58 552 || return 1
  ip -n "$r1" route add "${TOPOLOGY_HOST[mtu552]}" via 198.51.100.58
  # Two routers in series: r1 -> r2 over 1450, r2 -> host over 1300.
  topology_link "$r1" r2 198.51.100.21 "$r2" r1 198.51.100.22 1450 &&
    topology_link "$r2" host 198.51.100.25 "$h" r2 198.51.100.26 1300 &&
    topology_link6 "$r1" r2 "$r2" r1 5 && topology_link6 "$r2" host "$h" r2 6 || return 1
  ip -n "$r1" route add "${TOPOLOGY_HOST[two-routers]}" via 198.51.100.22
  ip -n "$r2" route add "${TOPOLOGY_HOST[two-routers]}" via 198.51.100.26
  ip -n "$r2" route add 192.0.2.0/24 via 198.51.100.21
  ip -n "$r1" route add "${TOPOLOGY_HOST6[two-routers]}" via 2001:db8:51:5::2
  ip -n "$r2" route add "${TOPOLOGY_HOST6[two-routers]}" via 2001:db8:51:6::2
  ip -n "$r2" route add 2001:db8:2::/64 via 2001:db8:51:5::1
  # Linux exempts "fragmentation needed" from its own limits; r2 limits it as
  # routers commonly do: two a second to each destination after a burst of
  # two, so that a flood of oversized probes finds a black hole.
  ip netns exec "$r2" nft -f - <<'NFT' || return 1
table ip errors {
  set to_destination { type ipv4_addr; size 4096; flags dynamic, timeout; timeout 1m; }
  chain leaving {
    type filter hook output priority 0;
    icmp type destination-unreachable icmp code frag-needed \
      update @to_destination { ip daddr limit rate over 2/second burst 2 packets } drop
  }
}
NFT
  # The black hole: r3 says nothing when a packet is too big for its link.
  topology_link "$r1" r3 198.51.100.29 "$r3" r1 198.51.100.30 1500 &&
    topology_link "$r3" host 198.51.100.33 "$h" r3 198.51.100.34 1400 &&
    topology_link6 "$r1" r3 "$r3" r1 7 && topology_link6 "$r3" host "$h" r3 8 || return 1
  for path in black-hole black-hole-loss black-hole-loss10; do
    ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.30
    ip -n "$r3" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.34
  done
  ip -n "$r3" route add 192.0.2.0/24 via 198.51.100.29
  for path in black-hole black-hole-loss; do
    ip -n "$r1" route add "${TOPOLOGY_HOST6[$path]}" via 2001:db8:51:7::2
    ip -n "$r3" route add "${TOPOLOGY_HOST6[$path]}" via 2001:db8:51:8::2
  done
  ip -n "$r3" route add 2001:db8:2::/64 via 2001:db8:51:7::1
  ip netns exec "$r3" nft -f - <<'NFT' || return 1
table ip blackhole {
  chain leaving { type filter hook output priority 0; icmp type destination-unreachable icmp code frag-needed drop; }
}
table ip6 blackhole {
  chain leaving { type filter hook output priority 0; icmpv6 type packet-too-big drop; }
}
NFT
  # One probe in five to the lossy black hole is lost, and one packet in ten
  # each way to the other; r1 counts what the client sends on every path (its
  # prerouting hook sees a probe before any MTU check). Over IPv6 a probe is
  # an echo request or a UDP datagram, so one packet in five of any kind to
  # the lossy black hole is lost, and both kinds are counted.
  ip netns exec "$r1" nft -f - <<NFT || return 1
table ip path {
  counter probes { }
  chain arriving { type filter hook prerouting priority 0; iifname "client" icmp type echo-request counter name probes; }
  chain forwarded {
    type filter hook forward priority 0;
    ip daddr ${TOPOLOGY_HOST[black-hole-loss]} icmp type echo-request numgen random mod 5 == 0 drop
    ip daddr ${TOPOLOGY_HOST[black-hole-loss10]} icmp type echo-request numgen random mod 10 == 0 drop
    ip saddr ${TOPOLOGY_HOST[black-hole-loss10]} icmp type echo-reply numgen random mod 10 == 0 drop
  }
}
table ip6 path {
  counter probes { }
  chain arriving {
    type filter hook prerouting priority 0;
    iifname "client" icmpv6 type echo-request counter name probes
    iifname "client" meta l4proto udp counter name probes
  }
  chain forwarded { type filter hook forward priority 0; ip6 daddr ${TOPOLOGY_HOST6[black-hole-loss]} numgen random mod 5 == 0 drop; }
}
NFT
  # The host: every other path's address, and one that drops echo requests.
  for path in "${!TOPOLOGY_HOST[@]}"; do
    [ "$path" = unreachable ] || [ -n "${TOPOLOGY_RESPONDER[$path]:-}" ] ||
      ip -n "$h" addr add "${TOPOLOGY_HOST[$path]}/32" dev lo
  done
  for path in "${!TOPOLOGY_HOST6[@]}"; do
    [ "$path" = unreachable ] || ip -n "$h" addr add "${TOPOLOGY_HOST6[$path]}/128" dev lo
  done
  ip netns exec "$h" nft -f - <<NFT || return 1
table ip host {
  chain arriving { type filter hook input priority 0; ip daddr ${TOPOLOGY_HOST[drops-echo]} icmp type echo-request drop; }
}
NFT
  topology_responder "$name" || return 1
  # Names for the client: one host name, over IPv4 and IPv6, and one over
  # IPv6 only; every other name fails at once.
  mkdir -p "/etc/netns/$c"
  printf '127.0.0.1 localhost\n%s bottleneck.test\n%s bottleneck.test\n%s only6.test\n' "${TOPOLOGY_HOST[mtu1400]}" \
    "${TOPOLOGY_HOST6[mtu1400]}" "${TOPOLOGY_HOST6[mtu1500]}" >"/etc/netns/$c/hosts"
  : >"/etc/netns/$c/resolv.conf"
}

# The responder's namespace: reached from r1 over 1400 (r1 names that MTU)
# and through the black hole r3 over 1400; it answers to r1 over 1500. Its
# kernel ignores echo requests, so only responder.py answers them.
topology_responder() {
  local name=$1 e=$1-e r1=$1-r1 r3=$1-r3 path args=() file log i
  ip netns exec "$e" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 || return 1
  topology_link "$r1" e1400 198.51.100.37 "$e" r1 198.51.100.38 1400 &&
    topology_link "$r3" e1400 198.51.100.49 "$e" r3 198.51.100.50 1400 &&
    topology_link "$r1" e1500 198.51.100.53 "$e" answers 198.51.100.54 1500 || return 1
  ip -n "$e" route add 192.0.2.0/24 via 198.51.100.53
  for path in cut68 late; do ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.38; done
  for path in cut556-black-hole rate-limited rate1 every400 late-jitter; do
    ip -n "$r1" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.30
    ip -n "$r3" route add "${TOPOLOGY_HOST[$path]}" via 198.51.100.50
  done
  for path in "${!TOPOLOGY_RESPONDER[@]}"; do
    ip -n "$e" addr add "${TOPOLOGY_HOST[$path]}/32" dev lo
    args+=("${TOPOLOGY_HOST[$path]}:${TOPOLOGY_RESPONDER[$path]}")
  done
  file=$(topology_responder_file "$name" pid)
  log=$(topology_responder_file "$name" log)
  # In the background, its output in a file, so that no caller's pipe waits for it.
  ip netns exec "$e" python3 "$TOPOLOGY_DIR/responder.py" --seconds "${TOPOLOGY_SECONDS:-1800}" \
    --pid-file "$file" "${args[@]}" </dev/null >"$log" 2>&1 &
  for i in $(seq 50); do
    [ -s "$file" ] && return 0
    sleep 0.1
  done
  echo "the echo responder did not start: $(cat "$log")" >&2
  return 1
}

# topology_probes NAME: how many echo requests the client has sent so far.
topology_probes() {
  ip netns exec "$1-r1" nft list counter ip path probes | sed -n 's/.*packets \([0-9]*\).*/\1/p'
}

# topology_probes6 NAME: how many IPv6 echo requests and UDP datagrams the client has sent so far.
topology_probes6() {
  ip netns exec "$1-r1" nft list counter ip6 path probes | sed -n 's/.*packets \([0-9]*\).*/\1/p'
}

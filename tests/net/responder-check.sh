# The test network's hosts that answer as real ones do, seen with Linux's
# own ping from the client, before any probe relies on them (about 15 s).
# Sourced by a network test after harness.sh; counts failures with fail.
unit=$(python3 "$here/responder_test.py" 2>&1) || fail "the echo responder's packet handling: $unit"
# Path, ping's options, the lines that count (a pattern) and how many of them
# there must be, least and most.
responder_checks=(
  "cut68|-M do -s 1372 -c 2 -i 0.2 -W 1|^76 bytes from .*\(truncated\)$|2|2"
  "cut68|-M do -s 1472 -c 1 -W 1|Frag needed and DF set \(mtu = 1400\)|1|1"
  "cut556-black-hole|-M do -s 1372 -c 2 -i 0.2 -W 1|^564 bytes from .*\(truncated\)$|2|2"
  "cut556-black-hole|-M do -s 1373 -c 1 -W 1|[Ff]rom [0-9]|0|0"
  "late|-c 3 -i 0.2 -W 3|^64 bytes from .* time=1[34][0-9][0-9] ms$|3|3"
  "rate-limited|-c 10 -i 0.1 -W 1|^64 bytes from|2|4"
  "rate-limited|-c 3 -i 1 -W 1|^64 bytes from|3|3"
  "rate1|-c 10 -i 0.1 -W 1|^64 bytes from|1|2"
  "every400|-c 10 -i 0.1 -W 1|^64 bytes from|2|3"
  "late-jitter|-c 4 -i 0.2 -W 3|^64 bytes from .* time=1[0-9][0-9][0-9] ms$|4|4"
  "two-routers|-M do -s 1400 -c 50 -i 0.01 -W 1|Frag needed and DF set \(mtu = 1300\)|1|10"
)
# The flood to r2 must leave the client: a path MTU it learnt from the first
# answer would stop the others at the client, so that route's MTU is locked.
in_client ip route add "${TOPOLOGY_HOST[two-routers]}/32" via 192.0.2.1 mtu lock 1500
for check in "${responder_checks[@]}"; do
  IFS='|' read -r path options pattern least most <<<"$check"
  in_client ip route flush cache
  # shellcheck disable=SC2086 # the options are words for ping
  pinged=$(in_client ping -n $options "${TOPOLOGY_HOST[$path]}" 2>&1)
  lines=$(grep -cE "$pattern" <<<"$pinged")
  echo "ping $options $path: $lines lines like '$pattern'"
  [ "$lines" -ge "$least" ] && [ "$lines" -le "$most" ] ||
    fail "ping $options $path: $lines lines like '$pattern', not $least to $most: $pinged"
done
in_client ip route del "${TOPOLOGY_HOST[two-routers]}/32"
in_client ip route flush cache

#!/usr/bin/env bash
# The console programs' probe on a real routed network: each path of the
# topology through the 32-bit and the x64 program under Wine, run inside the
# client namespace, first through the raw socket (Wine's own IP helper does
# not honour don't-fragment) and then through the IP helper's echo function
# as Windows has it (the stand-in of standin.sh; also after apply --adapter),
# then without the right to open a raw socket, --apply with the registry checked, Ctrl+C, and the
# 32-bit program in a prefix posing as Windows 98.
#   probe-paths.sh RELEASE32_DIR RELEASE64_DIR WORK_DIR STANDIN64_DIR STANDIN32_DIR
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli32=$1/quillon-mtu-cli.exe
cli64=$2/quillon-mtu-cli64.exe
work=$3
standin64=$4
standin32=$5
net=qmtu$$
. "$here/harness.sh"
. "$here/standin.sh"
. "$here/responder-check.sh"

# run PROGRAM ARGS...: console_run, with the route cache forgotten first
# unless KEEP_CACHE is set.
run() {
  [ -n "${KEEP_CACHE:-}" ] || in_client ip route flush cache
  [ -n "${KEEP_CACHE:-}" ] || [ -z "${STANDIN:-}" ] || standin_forget "$WINEPREFIX"
  CONSOLE_SECONDS=90 console_run "$@"
}

export WINEPREFIX=$work/prefix64
prefix_in_client "$WINEPREFIX" ""
# The TCP/IP parameters as they are stored now.
tcpip='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
snapshot() {
  in_client wine reg export "$tcpip" "$work/reg.txt" /y /reg:64 >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$work/reg.txt" | tr -d '\r'
}

# The mtu1400 host's address with every part in octal, as inet_addr reads it.
IFS=. read -r a b c d <<<"${TOPOLOGY_HOST[mtu1400]}"
octal=$(printf '0%o.0%o.0%o.0%o' "$a" "$b" "$c" "$d")

# Path, host, exit code, the last line of standard output (empty: no
# "MTU:" line may appear), text standard error must hold, and text
# standard output must hold.
cases=(
  "mtu1400|${TOPOLOGY_HOST[mtu1400]}|0|MTU: 1400|"
  "mtu1492|${TOPOLOGY_HOST[mtu1492]}|0|MTU: 1492|"
  "mtu1280|${TOPOLOGY_HOST[mtu1280]}|0|MTU: 1280|"
  "mtu576|${TOPOLOGY_HOST[mtu576]}|0|MTU: 576|"
  "mtu1500|${TOPOLOGY_HOST[mtu1500]}|0|MTU: 1500|"
  "two-routers|${TOPOLOGY_HOST[two-routers]}|0|MTU: 1300|"
  "black-hole|${TOPOLOGY_HOST[black-hole]}|0|MTU: 1400|"
  "black-hole-loss|${TOPOLOGY_HOST[black-hole-loss]}|0|MTU: 1400|"
  "drops-echo|${TOPOLOGY_HOST[drops-echo]}|1||did not answer even the smallest probe"
  "unreachable|${TOPOLOGY_HOST[unreachable]}|1||says the network is unreachable"
  "name|bottleneck.test|0|MTU: 1400|"
  "octal|$octal|0|MTU: 1400||^Probing the path to $octal (${TOPOLOGY_HOST[mtu1400]}) "
  "no-name|nowhere.invalid|1||did not resolve"
  "cut68|${TOPOLOGY_HOST[cut68]}|0|MTU: 1400||1400 bytes: passed (.*; the host cut its reply to 96 bytes)"
  "late|${TOPOLOGY_HOST[late]}|0|MTU: 1400||a late reply: the 1400-byte probe passed after all"
  "cut556-black-hole|${TOPOLOGY_HOST[cut556-black-hole]}|0|MTU: 1400||the host cut its reply to 584 bytes"
  "rate-limited|${TOPOLOGY_HOST[rate-limited]}|0|MTU: 1400|"
  "black-hole-loss10|${TOPOLOGY_HOST[black-hole-loss10]}|0|MTU: 1400|"
  "rate1|${TOPOLOGY_HOST[rate1]}|0|MTU: 1400|"
  "every400|${TOPOLOGY_HOST[every400]}|0|MTU: 1400|"
  "late-jitter|${TOPOLOGY_HOST[late-jitter]}|0|MTU: 1400||passed after all"
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  for c in "${cases[@]}"; do
    IFS='|' read -r path host want_code want_last want_err want_out <<<"$c"
    before=$(topology_probes "$net")
    started=$(date +%s%N)
    run "$program" probe "$host"
    ms=$((($(date +%s%N) - started) / 1000000))
    probes=$(($(topology_probes "$net") - before))
    echo "$name probe $path: exit $code, '$(tail -n 1 <<<"$out")', $probes probes, $ms ms"
    [ "$code" = "$want_code" ] || fail "$name $path: exit $code, not $want_code; $err"
    if [ -n "$want_last" ]; then
      [ "$(tail -n 1 <<<"$out")" = "$want_last" ] || fail "$name $path: last line '$(tail -n 1 <<<"$out")'"
      # One echo more leaves: the IP helper's, larger than the interface,
      # which Wine sends fragmented (so the raw socket serves).
      [ "$(grep -c ' bytes: ' <<<"$out")" = "$((probes - 1))" ] ||
        fail "$name $path: printed probes differ from the $probes sent, the IP helper's trial among them"
      [ -z "$want_out" ] || grep -q "$want_out" <<<"$out" || fail "$name $path: no '$want_out' in: $out"
      head -n 1 <<<"$out" | grep -q ' through a raw ICMP socket, ' || fail "$name $path: the first line: $out"
    else
      ! grep -q '^MTU:' <<<"$out" || fail "$name $path: an MTU line on failure"
      grep -q "$want_err" <<<"$err" || fail "$name $path: standard error '$err'"
    fi
  done
  # The system now knows the bottleneck: the probe gets no router's answer.
  run "$program" probe "${TOPOLOGY_HOST[mtu1400]}"
  KEEP_CACHE=1 run "$program" probe "${TOPOLOGY_HOST[mtu1400]}"
  [ "$code" = 0 ] && [ "$(tail -n 1 <<<"$out")" = "MTU: 1400" ] && grep -q 'too big for what this system knows' <<<"$out" ||
    fail "$name: a path the system already knows: $out $err"
done

# IPv6: the probe's arguments in place of the host, the rest as above.
# Every path with an IPv6 address through -6, the mtu1400 host's IPv6
# address without it (an IPv6 literal means IPv6), a name with an AAAA record
# beside its A record, and one with an AAAA record only, which without -6
# does not resolve.
cases6=(
  "mtu1400|-6 ${TOPOLOGY_HOST6[mtu1400]}|0|MTU: 1400|"
  "literal|${TOPOLOGY_HOST6[mtu1400]}|0|MTU: 1400|"
  "mtu1500|-6 ${TOPOLOGY_HOST6[mtu1500]}|0|MTU: 1500|"
  "two-routers|-6 ${TOPOLOGY_HOST6[two-routers]}|0|MTU: 1300|"
  "black-hole|-6 ${TOPOLOGY_HOST6[black-hole]}|0|MTU: 1400|"
  "black-hole-loss|-6 ${TOPOLOGY_HOST6[black-hole-loss]}|0|MTU: 1400|"
  "unreachable|-6 ${TOPOLOGY_HOST6[unreachable]}|1||"
  "name|-6 bottleneck.test|0|MTU: 1400|"
  "only6-name|only6.test|1||did not resolve"
)
# The IPv6 cases, each through both programs. Under plain Wine probe -6 sends
# UDP datagrams (so its first line says " through UDP datagrams"), with no IP
# helper's trial before them: r1's IPv6 counter says how many left, and that
# is printed, not compared with the lines of the probe. IPv6 keeps what it
# learnt of a path apart from IPv4, so its cache is forgotten here before each
# probe. SKIP_IPV6_PROBE=1 leaves the loop out.
if [ -z "${SKIP_IPV6_PROBE:-}" ]; then
  both "$cli32" "$cli64"
  for program in "${clis[@]}"; do
    name=$(basename "$program")
    for c in "${cases6[@]}"; do
      IFS='|' read -r path args want_code want_last want_err want_out <<<"$c"
      in_client ip -6 route flush cache
      before=$(topology_probes6 "$net")
      started=$(date +%s%N)
      # shellcheck disable=SC2086 # the arguments are words for probe
      run "$program" probe $args
      ms=$((($(date +%s%N) - started) / 1000000))
      probes=$(($(topology_probes6 "$net") - before))
      echo "$name probe $args ($path over IPv6): exit $code, '$(tail -n 1 <<<"$out")', $probes probes, $ms ms"
      [ "$code" = "$want_code" ] || fail "$name probe $args: exit $code, not $want_code; $err"
      if [ -n "$want_last" ]; then
        [ "$(tail -n 1 <<<"$out")" = "$want_last" ] || fail "$name probe $args: last line '$(tail -n 1 <<<"$out")'"
        [ -z "$want_out" ] || grep -q "$want_out" <<<"$out" || fail "$name probe $args: no '$want_out' in: $out"
        head -n 1 <<<"$out" | grep -q ' through UDP datagrams' || fail "$name probe $args: the first line: $out"
      else
        ! grep -q '^MTU:' <<<"$out" || fail "$name probe $args: an MTU line on failure"
        grep -q "$want_err" <<<"$err" || fail "$name probe $args: standard error '$err'"
      fi
    done
  done
fi

# Where the IP helper honours don't-fragment, as on Windows, it serves: no
# raw socket, no next-hop MTU in its answers, but the path MTU the system
# learnt; and no late replies.
export STANDIN=1 STANDIN_IN="ip netns exec $net-c"
standin_install "$WINEPREFIX" "$standin64" "$standin32" || fail "the IP-helper stand-in could not be installed"
helper_cases=(
  "mtu1400|${TOPOLOGY_HOST[mtu1400]}|0|MTU: 1400|this system has learnt MTU 1400 for the path"
  "two-routers|${TOPOLOGY_HOST[two-routers]}|0|MTU: 1300|"
  "mtu1500|${TOPOLOGY_HOST[mtu1500]}|0|MTU: 1500|"
  "black-hole|${TOPOLOGY_HOST[black-hole]}|0|MTU: 1400|"
  "cut68|${TOPOLOGY_HOST[cut68]}|0|MTU: 1400|the host cut its reply to 96 bytes"
  "late|${TOPOLOGY_HOST[late]}|0|MTU: 1400|"
  "rate-limited|${TOPOLOGY_HOST[rate-limited]}|0|MTU: 1400|"
  "drops-echo|${TOPOLOGY_HOST[drops-echo]}|1||"
  "unreachable|${TOPOLOGY_HOST[unreachable]}|1||"
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  for c in "${helper_cases[@]}"; do
    IFS='|' read -r path host want_code want_last want_out <<<"$c"
    run "$program" probe "$host"
    echo "$name probe $path through the IP helper: exit $code, '$(tail -n 1 <<<"$out")', $(grep -c ' bytes: ' <<<"$out") probes"
    head -n 1 <<<"$out" | grep -q " through the IP helper's echo function, " || fail "$name $path: the first line: $out $err"
    [ "$code" = "$want_code" ] || fail "$name $path through the IP helper: exit $code, not $want_code; $err"
    if [ -n "$want_last" ]; then
      [ "$(tail -n 1 <<<"$out")" = "$want_last" ] || fail "$name $path through the IP helper: $out"
    else
      ! grep -q '^MTU:' <<<"$out" || fail "$name $path through the IP helper: an MTU line on failure"
    fi
    [ -z "$want_out" ] || grep -q "$want_out" <<<"$out" || fail "$name $path: no '$want_out' in: $out"
    # Two whole runs for the record.
    if [ "$name" = quillon-mtu-cli64.exe ] && { [ "$path" = mtu1400 ] || [ "$path" = black-hole ]; }; then
      echo "$out"
    fi
  done
done
# 1400 in use on eth0 at once: a probe through it ends there, this machine's
# own limit. Each row: command, exit code, last line (if given), a line it holds.
own_limit_cases=(
  "apply 1400 --adapter eth0|0||\"eth0\"  in use now: 1400$"
  "probe ${TOPOLOGY_HOST[mtu1500]}|0|MTU: 1400|^That is this machine's own limit, not the path's: card 2 .*\"eth0\" uses an MTU of 1400,"
  "remove --adapter eth0|0||\"eth0\"  in use now: 1500, the link's MTU$"
  "probe ${TOPOLOGY_HOST[mtu1500]}|0|MTU: 1500|carries packets of at most 1500 bytes"
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  for c in "${own_limit_cases[@]}"; do
    IFS='|' read -r args want_code want_last want <<<"$c"
    run "$program" $args
    [ "$code" = "$want_code" ] && grep -Eq "$want" <<<"$out" && { [ -z "$want_last" ] || [ "$(tail -n 1 <<<"$out")" = "$want_last" ]; } ||
      fail "$(basename "$program") $args with the stand-in: exit $code: $out $err"
  done
done
# IPv6 through the IP helper's IPv6 echo, as Windows has it: a reply to an
# echo larger than the path MTU the system learnt was fragmented here, and
# says nothing of that size. Then --apply as apply -6 on the route's adapter
# (the registry untouched), the figure capped at the MTU now in use, and back.
helper_cases6=(
  "probe -6 ${TOPOLOGY_HOST6[mtu1400]}|0|MTU: 1400|this system has learnt MTU 1400 for the path"
  "probe -6 ${TOPOLOGY_HOST6[two-routers]}|0|MTU: 1300|learnt MTU 1300"
  "probe -6 ${TOPOLOGY_HOST6[black-hole]}|0|MTU: 1400|^The route to ${TOPOLOGY_HOST6[black-hole]} leaves through card 2 "
  "probe -6 bottleneck.test|0|MTU: 1400|^Probing the path to bottleneck.test \\(${TOPOLOGY_HOST6[mtu1400]}\\) through the IP helper's echo function, as ping sends, with packets of 1280 to 1500 bytes"
  "probe -6 ${TOPOLOGY_HOST6[unreachable]}|1||"
  "probe -6 ${TOPOLOGY_HOST6[mtu1400]} --apply --adapter route|0|MTU: 1400|\"eth0\"  IPv6 in use now: 1400, kept past a restart$"
  "probe -6 ${TOPOLOGY_HOST6[mtu1500]}|0|MTU: 1400|uses an MTU of 1400, so no larger probe was sent.*remove -6 --adapter 2\\)"
  "remove -6 --adapter eth0|0||IPv6 in use now: 1500, the link's MTU, kept past a restart$"
  "probe -6 ${TOPOLOGY_HOST6[mtu1500]}|0|MTU: 1500|packets of 1280 to 1500 bytes"
)
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  before=$(snapshot)
  for c in "${helper_cases6[@]}"; do
    IFS='|' read -r args want_code want_last want <<<"$c"
    in_client ip -6 route flush cache
    run "$program" $args
    echo "$name $args through the IP helper: exit $code, '$(tail -n 1 <<<"$out")'"
    [ "$code" = "$want_code" ] && { [ -z "$want_last" ] || [ "$(tail -n 1 <<<"$out")" = "$want_last" ]; } &&
      { [ -z "$want" ] || grep -Eq "$want" <<<"$out"; } || fail "$name $args through the IP helper: exit $code: $out $err"
  done
  [ "$(snapshot)" = "$before" ] || fail "$name: probe -6 --apply wrote to the registry"
  # The system knows the path now: 1500 is fragmented here, its reply no proof.
  KEEP_CACHE=1 run "$program" probe -6 "${TOPOLOGY_HOST6[mtu1400]}"
  KEEP_CACHE=1 run "$program" probe -6 "${TOPOLOGY_HOST6[mtu1400]}"
  [ "$code" = 0 ] && [ "$(tail -n 1 <<<"$out")" = "MTU: 1400" ] &&
    grep -q '1500 bytes: too big for what this system knows of the path (MTU 1400)' <<<"$out" ||
    fail "$name: an IPv6 path the system already knows: $out $err"
done
standin_remove "$WINEPREFIX" || fail "the IP-helper stand-in could not be removed"
unset STANDIN

# Without the right to open a raw socket (no CAP_NET_RAW for the Wine server
# and its programs) Wine's own echo function fails with access denied: the
# trial echo was not sent, so the probe ends there with that status in words,
# with no raw socket tried and never a figure.
in_client wineserver -k 2>/dev/null
in_client wineserver -w 2>/dev/null
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  CONSOLE_AS="setpriv --inh-caps=-net_raw --bounding-set=-net_raw" console_run "$program" probe \
    "${TOPOLOGY_HOST[mtu1400]}"
  echo "$name probe without the right to a raw socket: exit $code: $err"
  [ "$code" = 1 ] && ! grep -q '^MTU:' <<<"$out" && grep -q 'access is denied (error 5)' <<<"$err" &&
    ! grep -q 'raw ICMP socket' <<<"$err" || fail "$name without a raw socket: exit $code: $out $err"
done
in_client wineserver -k 2>/dev/null
in_client wineserver -w 2>/dev/null
WINEPREFIX=$work/prefix64 in_client wineserver -p 120 </dev/null >/dev/null 2>&1

# Other programs' ICMP at the same time: a ping from this machine to the same
# host, and one from the router to this machine.
in_client ping -q -i 0.05 -c 80 -s 1300 "${TOPOLOGY_HOST[black-hole]}" >/dev/null 2>&1 &
pinger=$!
ip netns exec "$net-r1" ping -q -i 0.05 -c 80 192.0.2.2 >/dev/null 2>&1 &
pinged=$!
run "$cli64" probe "${TOPOLOGY_HOST[black-hole]}"
wait "$pinger" "$pinged"
echo "quillon-mtu-cli64.exe probe black-hole beside two pings: exit $code, '$(tail -n 1 <<<"$out")'"
[ "$code" = 0 ] && [ "$(tail -n 1 <<<"$out")" = "MTU: 1400" ] || fail "other programs' ICMP changed the figure: $out"

# --apply stores what apply stores; a failed or interrupted probe stores nothing.
both "$cli32" "$cli64"
for program in "${clis[@]}"; do
  name=$(basename "$program")
  run "$program" remove
  clean=$(snapshot)
  run "$program" probe "${TOPOLOGY_HOST[drops-echo]}" --apply
  [ "$code" = 1 ] && [ "$(snapshot)" = "$clean" ] || fail "$name: a probe that found nothing wrote: $code"
  in_client timeout 60 wine "$program" probe "${TOPOLOGY_HOST[black-hole]}" --apply </dev/null >"$work/out" 2>&1 &
  probing=$!
  # Ctrl+C once the probe is under way (its first line is out), to this
  # probe only: timeout passes it on to Wine.
  for _ in $(seq 100); do
    grep -q ' bytes: ' "$work/out" 2>/dev/null && break
    sleep 0.1
  done
  pkill -INT -P "$probing" -x timeout || true
  wait "$probing"
  code=$?
  [ "$code" = 1 ] && grep -q 'interrupted' "$work/out" && [ "$(snapshot)" = "$clean" ] ||
    fail "$name: Ctrl+C: exit $code, $(tr -d '\r' <"$work/out")"
  # Below 576 the figure is said but not applied.
  run "$program" probe "${TOPOLOGY_HOST[mtu552]}" --apply
  [ "$code" = 1 ] && [ "$(tail -n 1 <<<"$out")" = "MTU: 552" ] && grep -q 'quillon-mtu-cli apply 552' <<<"$err" &&
    [ "$(snapshot)" = "$clean" ] || fail "$name: probe --apply below 576: exit $code: $out $err"
  run "$program" probe "${TOPOLOGY_HOST[mtu1492]}" --apply
  probed=$(snapshot)
  [ "$code" = 0 ] && [ "$(tail -n 1 <<<"$out")" = "MTU: 1492" ] && grep -q 'MTU setting applied successfully.' <<<"$out" ||
    fail "$name: probe --apply: exit $code: $out $err"
  run "$program" remove
  run "$program" apply 1492
  [ "$(snapshot)" = "$probed" ] || fail "$name: probe --apply wrote otherwise than apply 1492"
  grep -q '"MTU"=dword:000005d4' <<<"$probed" || fail "$name: no MTU of 1492 stored"
  echo "$name probe --apply: stores what apply 1492 stores; nothing on failure, below 576 or on Ctrl+C"
  run "$program" remove
done
WINEPREFIX=$work/prefix64 in_client wineserver -k 2>/dev/null

# Windows 98: the 32-bit program applies to the seeded transport.
if [ -z "$runs32" ]; then
  echo "SKIPPED: Windows 98, whose prefix is a 32-bit one"
  echo "probe on the namespaces' network: $failures failures"
  [ "$failures" = 0 ]
  exit
fi
export WINEPREFIX=$work/prefix98
WINEARCH=win32 prefix_in_client "$WINEPREFIX" win98
in_client wine reg add 'HKLM\System\CurrentControlSet\Services\Class\NetTrans\0000' /v IPAddress /d 192.0.2.2 /f >/dev/null 2>&1
run "$cli32" probe "${TOPOLOGY_HOST[two-routers]}" --apply
run "$cli32" show
echo "quillon-mtu-cli.exe as Windows 98: $(tr '\n' ' ' <<<"$out")"
grep -q 'transport 0000  192.0.2.2  MaxMTU 1300' <<<"$out" && [ "$(tail -n 1 <<<"$out")" = "MTU: 1300" ] ||
  fail "Windows 98: probe --apply did not store 1300"

echo "probe on the namespaces' network: $failures failures"
[ "$failures" = 0 ]

# Shared by the tests that run the console programs on the test network.
# Sourced after setting `here` (this folder), `work` (a folder of the test's
# own) and `net` (a name for the namespaces): builds the network and removes
# it, and the Wine prefixes in $work, whatever happens; exits 77 (skipped)
# where network namespaces cannot be made. console_run (console.sh) runs a
# console program there.
. "$here/topology.sh"
. "$here/console.sh"
. "$here/../../scripts/lib.sh"
quillon_wine_setup
# The programs of both builds where this machine runs 32-bit programs, else
# the x64 ones alone: `clis` after the 32-bit and the x64 program given, and
# `runs32` empty where the 32-bit ones are skipped.
runs32=yes
[ -z "${QUILLON_NO_32BIT:-}" ] || { runs32=; echo "SKIPPED here: the 32-bit programs, since this machine runs no 32-bit x86 programs"; }
both() { if [ -n "$runs32" ]; then clis=("$1" "$2"); else clis=("$2"); fi; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$(id -u)" -ne 0 ] || ! ip netns add "$net-probe" 2>/dev/null; then
  echo "SKIPPED: network namespaces need root here"
  exit 77
fi
ip netns del "$net-probe"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
in_client() { ip netns exec "$net-c" "$@"; }
harness_cleanup() {
  for prefix in "$work/prefix64" "$work/prefix98"; do
    WINEPREFIX=$prefix in_client wineserver -k 2>/dev/null
  done
  topology_down "$net"
}
trap harness_cleanup EXIT
topology_up "$net" || { echo "FAIL: the network could not be built"; exit 1; }

# prefix_in_client PREFIX [MODE]: a prefix made inside the client namespace,
# whose second session lists the namespace's interfaces as network cards.
prefix_in_client() {
  rm -rf "$1"
  mkdir -p "$1"
  WINEPREFIX=$1 in_client bash -c ". '$here/../../scripts/lib.sh'; quillon_new_prefix $2; wineserver -w"
  WINEPREFIX=$1 in_client wineserver -p 120 </dev/null >/dev/null 2>&1
}

#!/usr/bin/env bash
# Runs one fuzzer for a number of seconds from a corpus of its own in the
# build folder, and prints its executions and crashes:
#   run-fuzzer.sh FUZZER SECONDS
set -uo pipefail
fuzzer=$1
seconds=${2:-60}
name=$(basename "$fuzzer")
corpus="$(dirname "$fuzzer")/corpus-$name"
mkdir -p "$corpus"
log=$(mktemp)
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$(dirname "$fuzzer")/" "$corpus" \
  >"$log" 2>&1
rc=$?
runs=$(grep -E '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
crashes=0
[ "$rc" -eq 0 ] || { crashes=1; tail -n 30 "$log"; }
line="fuzz $name: ${runs:-0} executions in ${seconds} s, $crashes crashes"
echo "$line"
[ -n "${QUILLON_FIGURES:-}" ] && echo "$line" >>"$QUILLON_FIGURES"
rm -f "$log"
exit $rc

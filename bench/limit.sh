#!/usr/bin/env bash
# How well zorvan-cli --limit holds a whole download to its rate.
#
#   bench/limit.sh [--runs N]
#
# For three limits and 1, 5 and 16 connections, times the download of a
# file of four seconds' worth at that limit from a loopback nginx that caps
# nothing itself, and prints the rate reached beside the limit (median of
# the runs). The limit holds when every rate is within 10% of it.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=1
case "${1:-}" in
  --runs) runs="$2" ;;
  "") ;;
  *) echo "usage: bench/limit.sh [--runs N]" >&2; exit 2 ;;
esac

# shellcheck source=bench/serve.sh
source bench/serve.sh
# shellcheck source=bench/rounds.sh
source bench/rounds.sh

outside=0
echo "zorvan-cli --limit: the rate a whole download reaches ($runs run(s) each, median)"
printf "%12s %12s %9s %12s %9s\n" "limit B/s" connections "time s" "rate B/s" "of limit"
for limit in 100000 2000000 20000000; do
  bytes=$(( limit * 4 ))
  file="limit-$limit.bin"
  [ "$(stat -c %s "$data/$file" 2>/dev/null || echo 0)" -eq "$bytes" ] || head -c "$bytes" /dev/urandom > "$data/$file"
  for n in 1 5 16; do
    times=""
    for _ in $(seq 1 "$runs"); do
      rm -f "$out/limit.out"
      start=$(date +%s.%N)
      "$cli" get --no-fsync -n "$n" --limit "$limit" -o "$out/limit.out" "http://127.0.0.1:$port/open/$file" \
        >/dev/null 2>&1
      end=$(date +%s.%N)
      cmp -s "$out/limit.out" "$data/$file" || { echo "limit.sh: the download of $file is not whole" >&2; exit 1; }
      times="$times $(echo "$end - $start" | bc)"
    done
    t=$(printf "%s\n" $times | median)
    rate=$(echo "$bytes / $t" | bc)
    share=$(echo "scale=3; 100 * $rate / $limit" | bc)
    verdict=""
    if (( $(echo "$share < 90 || $share > 110" | bc) )); then verdict="  OUTSIDE 90-110%"; outside=$((outside + 1)); fi
    printf "%12d %12d %9.2f %12d %8.1f%%%s\n" "$limit" "$n" "$t" "$rate" "$share" "$verdict"
  done
done
# A rate outside the band fails the run, so a script or CI can rely on it.
[ "$outside" -eq 0 ] || { echo "limit.sh: $outside rate(s) outside 90-110% of the limit" >&2; exit 1; }

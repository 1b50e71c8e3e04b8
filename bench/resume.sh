#!/usr/bin/env bash
# Stops zorvan-cli get in the middle of a download and runs it again:
#
#   bench/resume.sh [-n CONNECTIONS] [-s MIB]
#
# A file (200 MiB unless -s says) served at 4 MiB/s per connection
# (loopback nginx, /slow/ with validators, /bare/ without) is stopped once
# the part file's record holds 30, 60 and 90 % of it, with SIGKILL and with
# Ctrl-C (SIGINT), then fetched again by the same command. For each it
# prints what the record held, what the first run had been sent, what the
# second run was sent beside what was missing (without validators the
# bytes on the disk are sampled with windows fetched again, spread over
# them: a few tenths of a per cent), the second run's time, and whether the
# result is byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
connections=5
mib_size=200
while [ $# -gt 0 ]; do
  case "$1" in
    -n) connections="$2"; shift 2 ;;
    -s) mib_size="$2"; shift 2 ;;
    *) echo "usage: bench/resume.sh [-n CONNECTIONS] [-s MIB]" >&2; exit 2 ;;
  esac
done

# shellcheck source=bench/serve.sh
source bench/serve.sh
make_file part.bin "$mib_size"
size=$(( mib_size * 1048576 ))
target="$out/part.bin"
log="$work/slow.log"

record_bytes() {  # the bytes the record holds (0 when there is none)
  awk '$1 == "done" { s += $3 - $2 } END { print s + 0 }' "$target.part.state" 2>/dev/null || echo 0
}
sent_bytes() { awk '{ s += $NF } END { print s + 0 }' "$log"; }
mib() { echo "scale=1; $1 / 1048576" | bc; }

echo "zorvan resume benchmark: $mib_size MiB at 4 MiB/s per connection, -n $connections; nginx on 127.0.0.1:$port"
printf "%-10s %-8s %6s %12s %12s %12s %12s %9s %9s %7s %s\n" validators signal "at" "record MiB" "1st sent" \
  "missing MiB" "2nd sent" "over KiB" "over %" "2nd s" check
for served in slow bare; do
  url="http://127.0.0.1:$port/$served/part.bin"
  validators=$([ "$served" = slow ] && echo "ETag" || echo "none")
for signal in KILL INT; do
  for percent in 30 60 90; do
    rm -f "$out"/part.bin*
    : > "$log"
    "$cli" get "$url" -n "$connections" -o "$target" >/dev/null 2>&1 &
    pid=$!
    until [ "$(record_bytes)" -ge $(( size * percent / 100 )) ] || ! kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
    kill -"$signal" "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    sleep 0.2  # nginx logs a request when its connection has closed
    if [ -f "$target" ]; then  # a fast download can end before the signal lands
      printf "%-10s %-8s %5s%% %s\n" "$validators" "SIG$signal" "$percent" "finished before the signal; nothing to continue"
      continue
    fi
    held=$(record_bytes)
    first=$(sent_bytes)
    : > "$log"
    start=$(date +%s.%N)
    "$cli" get "$url" -n "$connections" -o "$target" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    sleep 0.2
    second=$(sent_bytes)
    missing=$(( size - held ))
    check=BAD
    [ -f "$target" ] && [ "$(sha256sum "$target" | cut -d' ' -f1)" = "$(cat "$data/part.bin.sha256")" ] && check=ok
    printf "%-10s %-8s %5s%% %12s %12s %12s %12s %9s %8.2f%% %7.2f %s\n" "$validators" "SIG$signal" "$percent" \
      "$(mib "$held")" "$(mib "$first")" "$(mib "$missing")" "$(mib "$second")" "$(( (second - missing) / 1024 ))" \
      "$(echo "scale=4; 100 * ($second - $missing) / $size" | bc)" "$(echo "$end - $start" | bc)" "$check"
  done
done
done
echo "over: what the second run was sent beyond the missing bytes (KiB, and as a share of the file); the"
echo "      budget is 1 % of the file + 128 KiB for the check without validators"

#!/usr/bin/env bash
# Times a performer's whole catalogue: zorvan-cli get-all against the batch
# modes of curl, aria2c and wget, on the demo service.
#
#   bench/catalogue.sh [--runs N] [--only loopback|link] [--works N] [--link-works N]
#
# "loopback": performer 100002 (1000 works, 7.8 GiB: clips of 0.36, 4 and
# 20 MB) straight from the demo service; "link": its first 100 works
# through tools/link-proxy (100 ms round trip, 2 MiB/s per connection).
# Four downloads at once where the tool has batches (zorvan -j 4, curl
# --parallel-max 4, aria2c -j 4 -x 5), wget one at a time; zorvan-cli
# durable, as it runs by default (each file on the disk before it is
# named), the others not syncing. The peers get the list of addresses made
# beforehand; zorvan's time includes listing the performer. Every file is
# checked against its clip. Prints each run's wall time, the median, CPU
# seconds (user+sys), peak RSS and the ratio to the best peer.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/rounds.sh
source bench/rounds.sh

runs=3
only=""
works=1000
link_works=100
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    --works) works="$2"; shift 2 ;;
    --link-works) link_works="$2"; shift 2 ;;
    *) echo "usage: bench/catalogue.sh [--runs N] [--only loopback|link] [--works N] [--link-works N]" >&2; exit 2 ;;
  esac
done

need=(aria2 curl wget time ffmpeg)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
bin=build/default/bin
[ -x $bin/zorvan-cli ] && [ -x $bin/demo-service ] && [ -x $bin/link-proxy ] || ./scripts/build default >/dev/null
cli="${ZORVAN_CLI:-$PWD/$bin/zorvan-cli}"
./scripts/make-demo-media build/demo-media >/dev/null

work="$PWD/build/bench/catalogue"
out="$work/out"
rm -rf "$work"
mkdir -p "$out"
# zorvan's library and settings are the bench's own, never the user's.
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"

trap 'for p in "$work"/*.pid; do kill "$(cat "$p")" 2>/dev/null || true; done; rm -rf "$out"' EXIT
start_listening() {  # log command... -> prints the address it announces
  local log="$1"; shift
  "$@" > "$log" 2>&1 &
  echo $! > "$log.pid"
  for _ in $(seq 1 100); do
    local at
    at=$(grep -o '127\.0\.0\.1:[0-9]*' "$log" | head -1) && [ -n "$at" ] && echo "http://$at" && return 0
    sleep 0.05
  done
  echo "catalogue.sh: did not start: $*" >&2; exit 1
}
service=$(start_listening "$work/demo.log" $bin/demo-service --port 0 --media build/demo-media)
service_port=${service##*:}
link=$(start_listening "$work/link.log" $bin/link-proxy --to "$service_port" --rtt 100 --rate 2097152 --handshake)

declare -A clip_sum
for n in 0 1 2; do clip_sum[$n]=$(sha256sum build/demo-media/clip$n.mp4 | cut -d' ' -f1); done

# The works of 100002 as listed through `base`: "n<TAB>name<TAB>address".
list_works() {
  "$cli" works 100002 --service "$1" > "$work/all-works.txt"
  head -n "$2" "$work/all-works.txt"
}

# Every listed work's file, by the name each tool gives it, holds its clip.
# A BAD run says on standard error which file is wrong and how the tool's
# own messages ended (zorvan's are kept in $work/tool.err).
check() {  # listing naming(zorvan|number) -> ok or BAD
  local listing="$1" naming="$2" why=""
  while IFS=$'\t' read -r n name _; do
    local file="$out/$n.mp4"
    [ "$naming" = zorvan ] && file="$out/$name.mp4"
    if [ ! -f "$file" ]; then why="work $n: no file $file"; break; fi
    if [ "$(sha256sum "$file" | cut -d' ' -f1)" != "${clip_sum[$(( (n - 1) % 3 ))]}" ]; then
      why="work $n: $file differs from its clip ($(stat -c %s "$file") bytes)"; break
    fi
  done < "$listing"
  local files
  files=$(find "$out" -name '*.mp4' | wc -l)
  [ -n "$why" ] || [ "$files" -eq "$(wc -l < "$listing")" ] || why="$files .mp4 files for $(wc -l < "$listing") works"
  if [ -z "$why" ]; then echo ok; return; fi
  { echo "check: $why"; [ -s "$work/tool.err" ] && tail -n 5 "$work/tool.err"; } >&2
  echo BAD
}

run_tool() {  # tool base listing -> "wall cpu rss ok"
  local tool="$1" base="$2" listing="$3" count naming=number
  count=$(wc -l < "$listing")
  rm -rf "$out"; mkdir -p "$out"; rm -rf "$XDG_DATA_HOME"; rm -f "$work/tool.err"
  sync
  case "$tool" in
    "zorvan get-all -j 4"*)
      naming=zorvan
      local sync=()
      [ "$tool" = "zorvan get-all -j 4 --no-fsync" ] && sync=(--no-fsync)
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$cli" get-all 100002 --service "$base" --items "1-$count" \
        -o "$out" -j 4 -q --progress=none "${sync[@]}" >/dev/null 2>"$work/tool.err" || true ;;
    "disk: dd fdatasync")  # the disk's own time for a durable copy of as many bytes
      local mb
      mb=$(awk -F'\t' '{ s += ($1 - 1) % 3 == 0 ? 359440 : ($1 - 1) % 3 == 1 ? 4019889 : 20650148 } END { printf "%d", s / 1048576 }' "$listing")
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" dd if=/dev/zero of="$out/floor.bin" bs=1M count="$mb" \
        conv=fdatasync status=none
      rm -f "$out/floor.bin"
      read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
      echo "$wall $(echo "$user + $sys" | bc) $rss ok"
      return ;;
    "curl --parallel 4")
      awk -F'\t' -v out="$out" '{ printf "url = \"%s\"\noutput = \"%s/%s.mp4\"\n", $3, out, $1 }' "$listing" > "$work/curl.cfg"
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" curl -s --parallel --parallel-max 4 -K "$work/curl.cfg" >/dev/null 2>&1 || true ;;
    "aria2c -j 4 -x 5")
      awk -F'\t' '{ printf "%s\n  out=%s.mp4\n", $3, $1 }' "$listing" > "$work/aria2.txt"
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" aria2c -q -i "$work/aria2.txt" -j 4 -x 5 -d "$out" \
        --allow-overwrite=true --auto-file-renaming=false --file-allocation=falloc || true ;;
    "wget -i")
      cut -f3 "$listing" > "$work/wget.txt"
      /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" wget -q -i "$work/wget.txt" -P "$out" || true ;;
  esac
  read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
  echo "$wall $(echo "$user + $sys" | bc) $rss $(check "$listing" $naming)"
}


failures=()
scenario() {  # title base works tools...
  local title="$1" base="$2" count="$3"; shift 3
  case "$title" in "$only"*) ;; *) return 0 ;; esac
  local listing="$work/listing.txt"
  list_works "$base" "$count" > "$listing"
  echo
  echo "== $title: performer 100002, $(wc -l < "$listing") works, $(awk -F'\t' '{ s += ($1 - 1) % 3 == 0 ? 0.36 : ($1 - 1) % 3 == 1 ? 4.02 : 20.65 } END { printf "%.0f", s }' "$listing") MB =="
  printf "%-20s %-30s %8s %8s %9s %6s %s\n" tool "runs (s)" median "cpu s" "peak RSS" check "vs best peer"
  declare -A walls cpus peak okk
  local tools=("$@")
  declare -A med cpu
  run_rounds "$runs" tools "$base" "$listing"
  local best=""
  for tool in "${tools[@]}"; do
    case "$tool" in zorvan*|disk*) continue ;; esac
    [ "${okk[$tool]:-ok}" = ok ] || continue
    if [ -z "$best" ] || (( $(echo "${med[$tool]} < ${med[$best]}" | bc) )); then best="$tool"; fi
  done
  for tool in "${tools[@]}"; do
    case "$tool:${okk[$tool]:-ok}" in zorvan*:BAD) failures+=("$title: $tool") ;; esac
    local ratio=0
    [ -n "$best" ] && ratio=$(echo "scale=3; ${med[$tool]} / ${med[$best]}" | bc)
    printf "%-20s %-30s %8.2f %8.2f %6d MB %6s x%.2f (%s)\n" "$tool" "$(printf "%.2f " ${walls[$tool]})" "${med[$tool]}" \
      "${cpu[$tool]}" "$(( ${peak[$tool]} / 1024 ))" "${okk[$tool]:-ok}" "$ratio" "$best"
  done
}

echo "zorvan catalogue benchmark: $runs runs each; demo service at $service, link at $link; outputs in $out"
all=("zorvan get-all -j 4" "curl --parallel 4" "aria2c -j 4 -x 5" "wget -i")
scenario "loopback" "$service" "$works" "${all[@]}" "zorvan get-all -j 4 --no-fsync" "disk: dd fdatasync"
scenario "link 100 ms round trip, 2 MiB/s per connection" "$link" "$link_works" "${all[@]}"
echo
echo "zorvan get-all is durable by default: each file is on the disk before it is named and archived; the peers"
echo "do not sync. The disk row is the disk's own time to make as many bytes durable (dd conv=fdatasync): no"
echo "durable download of the catalogue can be faster; --no-fsync shows zorvan on the peers' terms."

if [ ${#failures[@]} -gt 0 ]; then
  printf "catalogue.sh: files not as listed: %s\n" "${failures[@]}" >&2
  exit 1
fi

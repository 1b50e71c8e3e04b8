#!/usr/bin/env bash
# Times zorvan-cli against other download tools on a loopback nginx.
#
#   bench/download.sh [--runs N] [--quick] [--only open|capped|https|wan]
#
# Scenarios: "open" (no limit; a 1 GiB and a 64 MiB file), "capped"
# (nginx limit_rate 25m per connection; the 1 GiB file) and "https" (no
# limit, TLS 1.3 from the same nginx; the 1 GiB file; every tool checks the
# certificate against the bench's own CA). Every output is
# checked against the source's sha256. Before each timed run the source is
# read back into the page cache (this machine evicts idle cache within
# seconds) and outputs from the previous run are deleted and synced away,
# outside the timing. Prints every run's wall time, the median, MiB/s, CPU
# seconds (user+sys), peak RSS and the ratio to the best other tool; for the
# capped scenario also the ratio to the ideal time, and for the durable rows
# (zorvan-cli's default, which syncs) the ratio to the slower of the same
# download unsynced and the disk's own durable copy (dd conv=fdatasync). The open scenario
# also shows the machine's floor (bench/floor.py): the body received over 5
# connections into nothing, and pwrite of as many bytes into the page cache;
# a download that copies what it receives through memory into the file costs
# at least about their sum, one that splices it (zorvan-cli over http) can
# come near the larger of the two, as it pays only the copy into the file.
# --quick uses only the 64 MiB file (capped too) for a fast look.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
quick=0
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --quick) quick=1; shift ;;
    --only) only="$2"; shift 2 ;;
    *) echo "usage: bench/download.sh [--runs N] [--quick] [--only open|capped|https|wan]" >&2; exit 2 ;;
  esac
done

# shellcheck source=bench/serve.sh
source bench/serve.sh
# shellcheck source=bench/rounds.sh
source bench/rounds.sh
make_file big.bin 1024
make_file mid.bin 64

# tool name -> command (URL and output path appended by run_tool)
declare -A commands=(
  ["zorvan -n 5"]="$cli get --no-fsync -n 5 -o"
  ["zorvan -n 16"]="$cli get --no-fsync -n 16 -o"
  ["zorvan -n 5 durable"]="$cli get -n 5 -o"
  ["zorvan -n 16 durable"]="$cli get -n 16 -o"
  ["aria2c -x5"]="aria2c -q -x5 -s5 -k1M --file-allocation=falloc --allow-overwrite=true --auto-file-renaming=false -d $out -o"
  ["axel -n 5"]="axel -q -n 5 -o"
  ["axel -n 16"]="axel -q -n 16 -o"
  ["curl"]="curl -s -o"
  ["wget"]="wget -q -O"
)
order=("zorvan -n 5" "zorvan -n 16" "zorvan -n 5 durable" "zorvan -n 16 durable" "aria2c -x5" "axel -n 5" "axel -n 16"
       "curl" "wget" "disk: dd fdatasync" "floor: receive -n 5" "floor: pwrite")

# How each tool is told to trust the bench's CA. axel has no such option,
# and with the CA in SSL_CERT_FILE its own host-name check refuses the
# certificate the others accept, so it runs unchecked (-k); checking costs
# nothing measurable beside a 1 GiB transfer.
tls_command() {  # tool -> the command with the CA given
  local cmd="${commands[$1]}" flag
  case "$1" in
    zorvan*|curl) flag="--cacert $ca" ;;
    aria2c*|wget) flag="--ca-certificate=$ca" ;;
    axel*) flag="-k" ;;
  esac
  echo "${cmd% *} $flag ${cmd##* }"  # before the last word, the output option
}

run_tool() {  # tool url file -> prints "wall cpu rss ok"
  local tool="$1" url="$2" file="$3" target="$out/result.bin"
  rm -f "$out"/result.bin* "$out"/*.st "$out"/*.aria2
  sync
  cat "$data/$file" > /dev/null   # the source back in the page cache
  local arg="$target" cmd="${commands[$tool]:-}"
  [ "$tool" = "aria2c -x5" ] && arg="result.bin"
  case "$tool:$url" in disk*) ;; *:https:*) cmd=$(tls_command "$tool") ;; esac
  local start end size floor_ok=BAD
  size=$(stat -c %s "$data/$file")
  start=$(date +%s.%N)
  case "$tool" in
    "disk: dd fdatasync")  # the disk's own limit for a durable copy of the file
      /usr/bin/time -f "%U %S %M" -o "$work/time.txt" dd if="$data/$file" of="$target" bs=1M conv=fdatasync status=none ;;
    "floor: receive -n 5")  # checks its own byte count, having no file to check
      /usr/bin/time -f "%U %S %M" -o "$work/time.txt" python3 bench/floor.py receive "$url" 5 "$size" && floor_ok=ok ;;
    "floor: pwrite")
      /usr/bin/time -f "%U %S %M" -o "$work/time.txt" python3 bench/floor.py pwrite "$target" "$size" && floor_ok=ok ;;
    *)
      /usr/bin/time -f "%U %S %M" -o "$work/time.txt" $cmd "$arg" "$url" >/dev/null 2>&1 || true ;;
  esac
  end=$(date +%s.%N)
  # The last line: time puts "Command exited with non-zero status" (or
  # "terminated by signal") before it when a tool fails, which the check shows.
  read -r user sys rss < <(tail -n 1 "$work/time.txt")
  local ok=BAD
  if [ -f "$target" ] && [ "$(sha256sum "$target" | cut -d' ' -f1)" = "$(cat "$data/$file.sha256")" ]; then ok=ok; fi
  case "$tool" in floor*) ok=$floor_ok ;; esac
  rm -f "$out"/result.bin*
  echo "$(echo "$end - $start" | bc) $(echo "$user + $sys" | bc) $rss $ok"
}


scenario() {  # title base-url path file MiB [cap MiB/s per connection]
  local title="$1" base="$2" path="$3" file="$4" mib="$5" cap="${6:-0}"
  case "$title" in "$only"*) ;; *) return 0 ;; esac
  echo
  echo "== $title: $file ($mib MiB) =="
  printf "%-19s %-34s %8s %9s %8s %9s %6s %s\n" tool "runs (s)" median MiB/s "cpu s" "peak RSS" check "vs best other"
  declare -A walls cpus peak okk
  local tools=()
  for tool in "${order[@]}"; do  # the floor is that of an unlimited plain download
    case "$tool:$title" in floor*:open) tools+=("$tool") ;; floor*) ;; *) tools+=("$tool") ;; esac
  done
  declare -A med cpu
  run_rounds "$runs" tools "$base/$path/$file" "$file"
  local best_peer=""
  for tool in "${tools[@]}"; do
    case "$tool" in zorvan*|disk*|floor*) continue ;; esac
    [ "${okk[$tool]:-ok}" = ok ] || continue  # a peer that failed is nobody's yardstick
    if [ -z "$best_peer" ] || (( $(echo "${med[$tool]} < ${med[$best_peer]}" | bc) )); then best_peer="$tool"; fi
  done
  for tool in "${tools[@]}"; do
    local ratio="0" extra=""
    case "$tool:${okk[$tool]:-ok}" in zorvan*:BAD) failures+=("$title: $tool") ;; esac
    [ -n "$best_peer" ] && ratio=$(echo "scale=3; ${med[$tool]} / ${med[$best_peer]}" | bc)
    if [ "$cap" != 0 ]; then
      local n=1
      case "$tool" in *16*) n=16 ;; *5*) n=5 ;; esac
      case "$tool" in disk*|floor*) ;; *) false ;; esac || \
        extra=$(printf "  %.1f%% of ideal" "$(echo "scale=4; 100 * ${med[$tool]} / ($mib / ($n * $cap))" | bc)")
    fi
    case "$tool" in
      *durable)  # against the slower of the same download unsynced and the disk
        local fast="${tool% durable}" limit
        limit=$(echo "if (${med[$fast]} > ${med["disk: dd fdatasync"]}) ${med[$fast]} else ${med["disk: dd fdatasync"]}" | bc)
        extra+=$(printf "  %.1f%% of max(unsynced, disk)" "$(echo "scale=4; 100 * ${med[$tool]} / $limit" | bc)") ;;
    esac
    printf "%-19s %-34s %8.2f %9.0f %8.2f %7d MB %6s x%.2f (%s)%s\n" "$tool" "$(printf "%.2f " ${walls[$tool]})" \
      "${med[$tool]}" "$(echo "$mib / ${med[$tool]}" | bc -l)" "${cpu[$tool]}" "$(( ${peak[$tool]} / 1024 ))" \
      "${okk[$tool]:-ok}" "$ratio" "$best_peer" "$extra"
  done
}

failures=()
echo "zorvan download benchmark: $runs runs each; nginx on 127.0.0.1:$port; outputs in $out (on disk)"
echo "peak RSS: zorvan-cli writes through the file descriptor, so output pages do not count in it."
echo "zorvan-cli runs with --no-fsync like the peers, which do not sync either; the durable rows show its default"
echo "(the file on the disk before it is named), beside the disk's own time for a durable copy (dd conv=fdatasync)."
plain="http://127.0.0.1:$port"
secure="https://localhost:$tls_port"
if [ "$quick" = 1 ]; then
  scenario "open" "$plain" open mid.bin 64
  scenario "capped 25 MiB/s per connection" "$plain" capped mid.bin 64 25
  scenario "https" "$secure" open mid.bin 64
else
  scenario "open" "$plain" open big.bin 1024
  scenario "open" "$plain" open mid.bin 64
  scenario "capped 25 MiB/s per connection" "$plain" capped big.bin 1024 25
  scenario "https" "$secure" open big.bin 1024
fi

# "wan": 100 ms of round trip and 2 MiB/s per connection (tools/link-proxy in
# front of nginx, as the kernel's netem is not available here), where
# several connections are the point.
[ -x build/default/bin/link-proxy ] || ./scripts/build default >/dev/null
make_file wan.bin 16
wan_port=$(free_port)
build/default/bin/link-proxy --to "$port" --port "$wan_port" --rtt 100 --rate 2097152 --handshake >/dev/null &
wan_pid=$!
sleep 0.3
scenario "wan 100 ms round trip, 2 MiB/s per connection" "http://127.0.0.1:$wan_port" open wan.bin 16 2
kill "$wan_pid" 2>/dev/null || true

# A zorvan row whose output is not the source fails the run.
if [ ${#failures[@]} -gt 0 ]; then
  printf "download.sh: not byte-identical: %s\n" "${failures[@]}" >&2
  exit 1
fi

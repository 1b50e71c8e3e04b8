#!/usr/bin/env bash
# What posters and media-server files cost a whole catalogue: performer
# 100002 (1000 works) from the demo service with zorvan-cli get-all -j 4,
# once as the window names files and once with --layout performer (posters,
# .nfo files and folder.jpg made beside the works). Prints the wall time of
# each, the poster step's CPU per work as the run measures it (the thread
# time of each poster), and checks 1000 posters and 1000 .nfo files.
#   bench/posters.sh [--works N]
set -euo pipefail
cd "$(dirname "$0")/.."
works=1000
[ "${1:-}" = "--works" ] && works="$2"
./scripts/make-demo-media build/demo-media >/dev/null
read -r pid url < <(./scripts/start-demo-service)
tmp="$(mktemp -d /tmp/zorvan-posters-XXXXXX)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$tmp"' EXIT
cli=build/default/bin/zorvan-cli
export XDG_DATA_HOME="$tmp/data"

run() {  # NAME OPTIONS...: wall seconds and the run's own summary lines
  local name="$1"; shift
  rm -rf "$tmp/out" "$tmp/data"
  local start end
  start=$(date +%s.%N)
  "$cli" get-all 100002 --max "$works" -j 4 --no-config --progress=none --service "$url" -o "$tmp/out" "$@" \
    > "$tmp/$name.log" 2>&1
  end=$(date +%s.%N)
  printf '%-34s %6.1f s   %s\n' "$name" "$(echo "$end - $start" | bc)" \
    "$(grep -E '^posters:' "$tmp/$name.log" || echo '-')"
}

echo "performer 100002, $works works, get-all -j 4, loopback"
run "as the window names them" --no-fsync
run "--layout performer (media files)" --no-fsync --layout performer
posters=$(find "$tmp/out" -name '*-poster.jpg' | wc -l)
nfos=$(find "$tmp/out" -name '*.nfo' | wc -l)
echo "posters: $posters, .nfo files: $nfos, folder.jpg: $(find "$tmp/out" -name folder.jpg | wc -l)"
[ "$posters" -eq "$works" ] && [ "$nfos" -eq "$works" ] || { echo "FAIL: a poster or .nfo is missing" >&2; exit 1; }

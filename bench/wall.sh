#!/usr/bin/env bash
# The window's poster wall with a thousand works, beside an icon list that
# reads every poster first: how long until each is shown, and the longest
# time the GUI thread is away while scrolling (tools/wall-bench says how).
#   bench/wall.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build/default --target wall-bench >/dev/null
tmp="$(mktemp -d /tmp/zorvan-wall-XXXXXX)"
trap 'rm -rf "$tmp"' EXIT
export XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
  build/default/bin/wall-bench "$tmp" "${1:-1000}"

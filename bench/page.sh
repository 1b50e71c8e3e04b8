#!/usr/bin/env bash
# The web page with 10,000 queued works in headless Chromium: time to show
# the queue, long tasks and frame gaps while scrolling it, beside the same
# rows drawn all at once (bench/page_scroll.py says how).
#   bench/page.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/make-demo-media build/demo-media >/dev/null
exec /usr/bin/python3 bench/page_scroll.py build/default/bin build/demo-media "${1:-3}"

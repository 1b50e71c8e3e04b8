#!/usr/bin/env bash
# Runs the web page's browser tests: makes the demo clips they play, then
# drives Debian's Chromium against zorvan-server. Screenshots stay in
# SHOTS_DIR as the run's artefacts.
#   run_page_tests.sh BIN_DIR SOURCE_DIR WORK_DIR
set -euo pipefail
bin="$1"
src="$2"
work="$3"
axe="$src/tests/page/node_modules/axe-core/axe.min.js"
for needed in /usr/bin/chromium /usr/bin/chromedriver "$axe"; do
  [ -e "$needed" ] || { echo "FAIL: $needed is missing; run ./scripts/setup"; exit 1; }
done
"$src/scripts/make-demo-media" "$work/media" >/dev/null
rm -rf "$work/shots"
# Debian's Selenium lives beside the system's Python, not another one on PATH.
exec /usr/bin/python3 "$src/tests/page/page_e2e_test.py" "$bin" "$work/media" "$work/shots" "$axe"

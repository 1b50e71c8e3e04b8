#!/usr/bin/env bash
# Fails when a text the window or the web page shows has no English
# translation, or the translation file holds an entry the code no longer has:
# lupdate runs over the shell's and the player's code, and the page's texts as
# the build gathers them, into a copy of translations/zorvan_en.ts.
#   check_translations.sh LUPDATE SOURCE_DIR PAGE_TEXTS_CPP
set -euo pipefail
lupdate="$1"
src="$2"
page_texts="$3"
tmp="$(mktemp -d /tmp/zorvan-ts-XXXXXX)"
trap 'rm -rf "$tmp"' EXIT
cp "$src/translations/zorvan_en.ts" "$tmp/zorvan_en.ts"
"$lupdate" -silent -locations none -I "$src/src" "$src/src/shell" "$src/src/player" "$page_texts" -ts "$tmp/zorvan_en.ts" > "$tmp/lupdate.log" 2>&1 \
  || { cat "$tmp/lupdate.log"; exit 1; }
texts="$(grep -c '<message>' "$tmp/zorvan_en.ts")"
[ "$texts" -gt 100 ] || { echo "FAIL: only $texts texts found; is lupdate reading the code?"; exit 1; }
if grep -B3 -E 'type="(unfinished|vanished|obsolete)"' "$tmp/zorvan_en.ts"; then
  echo "FAIL: the entries above have no English translation or are no longer in the code;"
  echo "      run: cmake --build build/default --target zorvan_shell_lupdate, then translate them"
  exit 1
fi
pages="$(sed -n '/<name>page<\/name>/,/<\/context>/p' "$tmp/zorvan_en.ts" | grep -c '<message>' || true)"
[ "$pages" -gt 50 ] || { echo "FAIL: only $pages texts of the page found; are its scripts read?"; exit 1; }
echo "all $texts texts of the window and the page ($pages) have their English translation"

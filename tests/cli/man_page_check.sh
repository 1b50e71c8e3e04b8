#!/usr/bin/env bash
# The manual page and the program's help name the same options: every
# option that `zorvan-cli --help` or `zorvan-cli help COMMAND` shows is in
# zorvan-cli(1), in bold, and the page names none the help does not.
#   man_page_check.sh ZORVAN_CLI MAN_PAGE
set -euo pipefail
cli="$1"
page="$2"
[ -x "$cli" ] || { echo "FAIL: $cli is not a program" >&2; exit 1; }
[ -r "$page" ] || { echo "FAIL: cannot read $page" >&2; exit 1; }

# The option-shaped words of a text, one a line, sorted: --long-name or -x
# standing alone, so "get-all", "zorvan-cli(1)", "1-5,9", "Ctrl-C", "-"
# and bundles such as -qk or -nVALUE are not taken. Hyphens a typesetter
# may have turned into other dashes count as hyphens. Another program's
# options quoted in the text (systemctl --user) and --name, the help's
# stand-in for any option, are passed over.
options_in() {
  sed -e 's/\xe2\x80\x90/-/g; s/\xe2\x80\x91/-/g; s/\xe2\x88\x92/-/g' -e 's/systemctl .*//' |
    grep -oP '(?<![A-Za-z0-9_-])(--[a-z][a-z-]*[a-z]|-[A-Za-z])(?![A-Za-z0-9_-])' |
    grep -vx -e '--name' |
    sort -u || true
}

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$cli" --help > "$tmp/help.txt" || { echo "FAIL: $cli --help failed" >&2; exit 1; }
for command in get works get-all sync follow unfollow following verify; do
  "$cli" help "$command" >> "$tmp/help.txt" || { echo "FAIL: $cli help $command failed" >&2; exit 1; }
done
options_in < "$tmp/help.txt" > "$tmp/help-options"
[ -s "$tmp/help-options" ] || { echo "FAIL: the help shows no options at all" >&2; exit 1; }

if command -v man >/dev/null 2>&1; then
  how="rendered by man"
  LC_ALL=C MANWIDTH=100 man -l "$page" 2>/dev/null | col -b > "$tmp/page.txt"
else
  how="read from the troff source"
  # Comments dropped, font changes and \& \% removed, \- read as -.
  sed -e '/^\.\\"/d' -e 's/\\f[BIRP]//g; s/\\f(..//g; s/\\[&%]//g; s/\\-/-/g' "$page" > "$tmp/page.txt"
fi
[ -s "$tmp/page.txt" ] || { echo "FAIL: $page rendered as nothing" >&2; exit 1; }
options_in < "$tmp/page.txt" > "$tmp/page-options"

echo "help: $(wc -l < "$tmp/help-options") options (zorvan-cli --help, help get works get-all sync follow unfollow following)"
echo "page: $(wc -l < "$tmp/page-options") options ($page, $how)"

failed=0
while read -r option; do
  echo "FAIL: the help shows $option, the page does not name it" >&2
  failed=1
done < <(comm -23 "$tmp/help-options" "$tmp/page-options")
while read -r option; do
  echo "FAIL: the page names $option, which no help shows" >&2
  failed=1
done < <(comm -13 "$tmp/help-options" "$tmp/page-options")

# Each option of the help is set in bold somewhere in the page, as
# \fB\-\-name\fR or \fB\-x\fR.
while read -r option; do
  grep -qF "\\fB${option//-/\\-}\\fR" "$page" || {
    printf 'FAIL: the page never sets %s in bold (%s)\n' "$option" "\\fB${option//-/\\-}\\fR" >&2
    failed=1
  }
done < "$tmp/help-options"

[ "$failed" -eq 0 ] || exit 1
echo "the page and the help name the same $(wc -l < "$tmp/help-options") options"

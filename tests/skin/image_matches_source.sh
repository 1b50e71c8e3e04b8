#!/bin/sh
# The committed skin library image is exactly what its source builds to.
# Skipped (77) where the cross compiler is not installed.
library=$1
command -v x86_64-w64-mingw32-gcc >/dev/null || { echo "x86_64-w64-mingw32-gcc not installed: skipped"; exit 77; }
built=$(mktemp)
trap 'rm -f "$built"' EXIT
"$library/make-image.sh" "$built" || exit 1
cmp "$built" "$library/zorvan_skin.dll" || { echo "zorvan_skin.dll is stale: run $library/make-image.sh" >&2; exit 1; }

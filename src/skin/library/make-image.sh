#!/bin/sh
# Builds the skin library image from its source with the Debian cross
# compiler (gcc-mingw-w64-x86-64). The image is committed beside this
# script, so only a change to the source needs the compiler.
#   make-image.sh [OUTPUT]   (default: zorvan_skin.dll beside this script)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/zorvan_skin.dll}
cc=x86_64-w64-mingw32-gcc
dlltool=x86_64-w64-mingw32-dlltool
command -v "$cc" >/dev/null || { echo "make-image.sh: $cc not found (apt-get install gcc-mingw-w64-x86-64)" >&2; exit 3; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dlltool" -d "$here/zorvan_host.def" -l "$work/libzorvan_host.a"
# Freestanding, so the compiler emits no hidden runtime calls; no time
# stamp and a fixed preferred base, so the same source always gives the
# same bytes.
"$cc" -O2 -std=c11 -Wall -Wextra -nostdlib -ffreestanding -fno-tree-loop-distribute-patterns \
    -mno-stack-arg-probe -fno-asynchronous-unwind-tables -fno-ident -shared -s \
    -Wl,-e,DllMain -Wl,--dynamicbase -Wl,--enable-reloc-section -Wl,--no-insert-timestamp -Wl,--image-base,0x240000000 \
    -o "$work/zorvan_skin.dll" "$here/skin_library.c" "$here/skin_library.def" "$work/libzorvan_host.a"
cp "$work/zorvan_skin.dll" "$out"

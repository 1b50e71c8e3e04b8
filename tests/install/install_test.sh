#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks it as a user
# would meet it: the files in place, the desktop entry and metainfo valid,
# downloads from the installed zorvan-cli landing in the user's videos
# folder (the program's folder not being writable), and the Debian package
# with its contents and dependencies.
#   install_test.sh BUILD_DIR DEMO_SERVICE
set -euo pipefail
build="$1"
demo="$2"
tmp="$(mktemp -d /tmp/zorvan-install-XXXXXX)"
chmod 755 "$tmp"
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$tmp/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
app=app.zorvan.Zorvan
for f in bin/zorvan bin/zorvan-cli bin/zorvan-server lib/sysusers.d/zorvan.conf share/applications/$app.desktop share/icons/hicolor/scalable/apps/$app.svg \
         share/icons/hicolor/256x256/apps/$app.png share/metainfo/$app.metainfo.xml; do
  [ -s "$root/usr/$f" ] || fail "not installed: /usr/$f"
done
[ -x "$root/usr/bin/zorvan" ] && [ -x "$root/usr/bin/zorvan-cli" ] || fail "the programs are not executable"

# The manual pages, read as man reads them, and zorvan-cli's completions,
# the bash one answering a <Tab>.
for f in share/man/man1/zorvan.1 share/man/man1/zorvan-cli.1 share/bash-completion/completions/zorvan-cli \
         share/zsh/vendor-completions/_zorvan-cli; do
  [ -s "$root/usr/$f" ] || fail "not installed: /usr/$f"
done
if command -v man >/dev/null; then
  for name in zorvan zorvan-cli; do
    text="$(MANWIDTH=100 man -l "$root/usr/share/man/man1/$name.1" 2>&1 | col -b)"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "SEE ALSO"; do
      grep -q "^$section\$" <<<"$text" || fail "man -l renders $name.1 without $section: $text"
    done
  done
  grep -q "^ *zorvan-cli get-all \[options\] ID\$" <<<"$text" || fail "zorvan-cli(1) without get-all's synopsis: $text"
fi
completed="$(bash -c 'source "$1"; COMP_WORDS=(zorvan-cli get --output); COMP_CWORD=2; _zorvan_cli; echo "${COMPREPLY[*]}"' \
  _ "$root/usr/share/bash-completion/completions/zorvan-cli")"
[ "$completed" = "--output --output-dir" ] || fail "the bash completion of 'zorvan-cli get --output': '$completed'"
desktop-file-validate "$root/usr/share/applications/$app.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null \
  || fail "appstreamcli validate: $(appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml")"
grep -qx "Exec=zorvan" "$root/usr/share/applications/$app.desktop" || fail "Exec must start the program without a file"
[ "$(head -c 8 "$root/usr/share/icons/hicolor/256x256/apps/$app.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
  || fail "the PNG icon is not a PNG"

# The demo service, with small clips of its own.
media="$tmp/media"
mkdir -p "$media"
for n in 0 1 2; do head -c $(( 4000 + n * 1000 )) /dev/urandom > "$media/clip$n.mp4"; done
"$demo" --port 0 --media "$media" > "$tmp/demo.log" 2>&1 &
demo_pid=$!
url=""
for _ in $(seq 1 100); do
  url="$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$tmp/demo.log" || true)"
  [ -n "$url" ] && break
  sleep 0.05
done
[ -n "$url" ] || fail "the demo service did not start"

# The sync timer's units are valid, with the service pointing at the
# installed program.
units="$tmp/units"
mkdir -p "$units"
sed "s|ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/usr/lib/systemd/user/zorvan-sync.service" > "$units/zorvan-sync.service"
cp "$root/usr/lib/systemd/user/zorvan-sync.timer" "$units/"
grep -q "^ExecStart=/usr/bin/zorvan-cli sync" "$root/usr/lib/systemd/user/zorvan-sync.service" \
  || fail "the sync service does not start the installed zorvan-cli"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$units/zorvan-sync.service" "$units/zorvan-sync.timer" \
    || fail "systemd-analyze verify found faults in the sync units"
fi

# The home server's units start the installed program, for a user and
# for its own system account.
for kind in user system; do
  unit="$root/usr/lib/systemd/$kind/zorvan-server.service"
  grep -q "^ExecStart=/usr/bin/zorvan-server" "$unit" || fail "the $kind unit does not start the installed zorvan-server"
  mkdir -p "$units/$kind"
  sed "s|ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" > "$units/$kind/zorvan-server.service"
done
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$units/user/zorvan-server.service" || fail "systemd-analyze verify: the user's server unit"
fi

# The installed demo service starts with its one command, with the clips
# already in the user's data folder (made at first use otherwise).
mkdir -p "$tmp/data/zorvan/demo-media"
cp "$media"/clip*.mp4 "$tmp/data/zorvan/demo-media/"
env -i PATH=/usr/bin:/bin HOME="$tmp" XDG_DATA_HOME="$tmp/data" "$root/usr/bin/zorvan-demo-service" --port 0 \
  > "$tmp/installed-demo.log" 2>&1 &
installed_pid=$!
installed_url=""
for _ in $(seq 1 100); do
  installed_url="$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$tmp/installed-demo.log" || true)"
  [ -n "$installed_url" ] && break
  sleep 0.05
done
kill "$installed_pid" 2>/dev/null || true
[ -n "$installed_url" ] || fail "zorvan-demo-service did not start: $(cat "$tmp/installed-demo.log")"

# An installed copy the user may write to (as under ~/.local) still saves
# into the videos folder.
env -i PATH=/usr/bin:/bin HOME="$tmp/own" "$root/usr/bin/zorvan-cli" get-all 100003 --service "$url" > "$tmp/own.log" 2>&1 \
  || fail "get-all from a writable install: $(cat "$tmp/own.log")"
[ -d "$tmp/own/Videos/Zorvan" ] && [ ! -e "$root/usr/bin/video" ] || fail "a writable install saved beside itself"

# A user who cannot write where the program lies: root writes everywhere, so
# it runs as nobody there; anyone else finds the folder read-only.
home="$tmp/home"
mkdir -p "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$root/usr/bin"
fi
run_cli() {  # extra environment... -- arguments
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$home" "${envs[@]}" "$root/usr/bin/zorvan-cli" "$@"
}
run_cli -- get-all 100001 --service "$url" -j 3 > "$tmp/run1.log" 2>&1 || fail "get-all into ~/Videos: $(cat "$tmp/run1.log")"
[ "$(ls "$home/Videos/Zorvan" | grep -c '\.mp4$')" -eq 36 ] || fail "36 works expected in ~/Videos/Zorvan: $(ls "$home/Videos/Zorvan")"
[ ! -e "$root/usr/bin/video" ] || fail "a video folder was made beside the installed program"

# A videos folder named by the user's own settings.
mkdir -p "$home/.config" "$home/Filme"
printf '# written by xdg-user-dirs\nXDG_VIDEOS_DIR="$HOME/Filme"\n' > "$home/.config/user-dirs.dirs"
[ "$(id -u)" -eq 0 ] && chown -R nobody "$home"
run_cli -- get-all 100003 --service "$url" > "$tmp/run2.log" 2>&1 || fail "get-all 100003: $(cat "$tmp/run2.log")"
[ -d "$home/Filme/Zorvan" ] || fail "user-dirs.dirs not followed: $(cat "$tmp/run2.log")"
run_cli XDG_VIDEOS_DIR="$home/Clips" -- get-all 100003 --service "$url" > "$tmp/run3.log" 2>&1 || fail "get-all 100003"
[ -d "$home/Clips/Zorvan" ] || fail "XDG_VIDEOS_DIR not followed"

# The Debian package.
cpack -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" > "$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"
deb="$(ls "$tmp"/package/zorvan_*.deb)"
contents="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/zorvan ./usr/bin/zorvan-cli ./usr/bin/zorvan-demo-service ./usr/libexec/zorvan/demo-service \
         ./usr/lib/systemd/user/zorvan-sync.service ./usr/lib/systemd/user/zorvan-sync.timer \
         ./usr/share/zorvan/make-demo-media ./usr/share/applications/$app.desktop ./usr/share/metainfo/$app.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/$app.png; do
  grep -q " $f\$" <<<"$contents" || fail "$f missing from the package"
done
for f in ./usr/share/man/man1/zorvan.1 ./usr/share/man/man1/zorvan-cli.1; do
  grep -qE " ${f//./\\.}(\.gz)?\$" <<<"$contents" || fail "$f missing from the package"
done
for f in ./usr/share/bash-completion/completions/zorvan-cli ./usr/share/zsh/vendor-completions/_zorvan-cli; do
  grep -q " $f\$" <<<"$contents" || fail "$f missing from the package"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for d in libqt6widgets6 libqt6multimedia6 libcurl4 libssl3 gstreamer1.0-plugins-good gstreamer1.0-libav fonts-wqy-microhei; do
  grep -q "$d" <<<"$depends" || fail "the package does not depend on $d: $depends"
done
echo "installed tree, desktop entry, metainfo, manual pages, completions, download folder and package: ok"
echo "package: $(basename "$deb"), depends: $depends"

#!/usr/bin/env bash
# An installed copy works from wherever its prefix is moved to: the files a
# desktop needs are in place, the editor draws its first frame with every
# picture found, and corvina-cli renders a program.
#   installed_copy.sh <build folder> <cmake>
set -euo pipefail
build="$1"
cmake="${2:-cmake}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cmake" --install "$build" --prefix "$tmp/first" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; }
mkdir -p "$tmp/moved"
mv "$tmp/first" "$tmp/moved/prefix"
p="$tmp/moved/prefix"

for f in bin/corvina-apps bin/corvina-cli share/corvina-apps/file.csv share/corvina-apps/fonts/IchigoJam-1.2.ttf \
         share/applications/corvina-apps.desktop share/icons/hicolor/scalable/apps/corvina-apps.svg \
         share/man/man1/corvina-cli.1 share/doc/corvina-apps/copyright share/doc/corvina-apps/changelog.Debian.gz; do
  [ -f "$p/$f" ] || fail "$f was not installed"
done
# Hints (the entry names two main categories on purpose) are not failures.
out=$(desktop-file-validate "$p/share/applications/corvina-apps.desktop" 2>&1) || { echo "$out"; fail "the desktop entry is not valid"; }
[ -d "$p/share/corvina-apps/res" ] || fail "share/corvina-apps/res was not installed"
[ ! -e "$p/share/corvina-apps/art" ] || fail "the drawings' sources were installed"
for size in 48 128 256; do
  png="$p/share/icons/hicolor/${size}x${size}/apps/corvina-apps.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  # PNG: width and height are the big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $dims"
done

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy CORVINA_DATA_DIR="$tmp/data" CORVINA_EXIT_AFTER_FIRST_FRAME=1
mkdir -p "$CORVINA_DATA_DIR"
out=$(timeout 60 "$p/bin/corvina-apps" 2>&1) || { echo "$out"; fail "the moved editor did not draw its first frame with every picture"; }
grep -qx "pictures missing: 0" <<<"$out" || { echo "$out"; fail "no count of missing pictures"; }
# The check itself: with the pictures gone it must fail.
mv "$p/share/corvina-apps/res" "$p/share/corvina-apps/res.away"
if out=$(timeout 60 "$p/bin/corvina-apps" 2>&1); then
  echo "$out"; fail "the editor passed with its pictures gone"
fi
mv "$p/share/corvina-apps/res.away" "$p/share/corvina-apps/res"

cd "$tmp"
"$p/bin/corvina-cli" new --row 0:0:0 x.plist || fail "corvina-cli new"
"$p/bin/corvina-cli" render x.plist >bytes || fail "corvina-cli render"
grep -q "10 LED 1" bytes || { od -c bytes | head; fail "the rendered program has no '10 LED 1'"; }
echo "ok: installed, moved, the editor found every picture and corvina-cli rendered a program"

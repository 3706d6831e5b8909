#!/usr/bin/env bash
# A child's way through the real editor window, with the mouse: the home
# screen, a new program, a card dragged onto the first row and another onto
# the second, both taken back with Control+Z and the first done again with
# Control+Shift+Z, save and close.
# Then the saved catalogue and program are read back with Python's plistlib.
# Optional second argument: a folder for screenshots.
set -euo pipefail
app="$1"
shots="${2:-}"
for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
system=$(mktemp -d)
mkdir -p "$system/sys/class/tty" "$system/dev"
export app shots CORVINA_DATA_DIR="$data" CORVINA_SYSTEM_ROOT="$system"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  SDL_VIDEODRIVER=x11 "$app" & pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^CorvinaApps$" | head -n 1)
  [ -n "$id" ] || { echo "no window titled CorvinaApps"; exit 1; }
  # Design points are window pixels here (1024 x 768), y from the top.
  at() { xdotool mousemove --window "$id" "$1" "$2"; sleep 0.05; }
  shot() { [ -n "$shots" ] && command -v import >/dev/null && import -window root "$shots/$1.png" || true; }
  sleep 1
  shot home
  # The new-program card in the middle of the home screen.
  at 512 384; xdotool click 1
  sleep 1.5
  shot editor
  # The first palette card, dragged right and onto the first row. The card
  # trails the finger by where it was grabbed (75 right of its middle) and
  # the first 12 points that decide the drag.
  at 240 142; xdotool mousedown 1
  for x in 250 262 290 330 380 430 480 540 600 660 720; do at $x 142; done
  at 731 108
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
  shot dropped
  # The third palette card onto the second row, then both taken back and
  # the first done again, with the keys.
  at 240 382; xdotool mousedown 1
  for x in 250 262 290 330 380 430 480 540 600 660 720; do at $x 382; done
  at 731 224
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
  xdotool key --window "$id" ctrl+z; sleep 0.3
  xdotool key --window "$id" ctrl+z; sleep 0.3
  xdotool key --window "$id" ctrl+shift+z; sleep 0.5
  shot undone
  # Save and close, top right.
  at 974 50; xdotool click 1
  sleep 2
  shot back-home
  kill -0 $pid || { echo "the editor exited"; exit 1; }
'

python3 - "$data" <<'PY'
import os, plistlib, sys
data = sys.argv[1]
with open(os.path.join(data, "savedatas", "list.plist"), "rb") as f:
    catalogue = plistlib.load(f)
entries = catalogue["datas"]
assert catalogue["lastid"] == 1 and len(entries) == 1, catalogue
entry = entries[0]
assert entry["identifer"] == 1 and entry["path"] == "savedatas/1.plist" and entry["imagepath"] == "savedatas/img1.png", entry
with open(os.path.join(data, entry["path"]), "rb") as f:
    cards = plistlib.load(f)
assert len(cards) == 1 and cards[0]["tab"] == 0 and cards[0]["index"] == 0, cards
# On the first row: its connector lies on the row head's.
assert abs(cards[0]["x"] - 644) <= 1 and abs(cards[0]["y"] - 5521) <= 1, cards
assert os.path.getsize(os.path.join(data, entry["imagepath"])) > 0
print("ok: one program, one card on line 10, a picture for the home screen")
PY

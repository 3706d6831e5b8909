#!/usr/bin/env bash
# A program without a mouse, in the real window: key presses only. From
# the home screen, Enter opens a new program; Enter, Down Enter, Down Enter
# put LED on, LED off and wait 1 on lines 10, 20 and 30. Then the blink is
# completed with the field's keys, played with F5 on the simulated board
# until its LED is seen lit, and the saved program is read back.
# Optional second argument: a folder for screenshots.
set -euo pipefail
app="$1"
shots="${2:-}"
for tool in xvfb-run xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done
data=$(mktemp -d)
work=$(mktemp -d)
system=$(mktemp -d)
trap 'rm -rf "$data" "$work" "$system"' EXIT
mkdir -p "$system/sys/class/tty" "$system/dev"
export app shots work CORVINA_DATA_DIR="$data" CORVINA_SYSTEM_ROOT="$system" LANGUAGE=en

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  SDL_VIDEODRIVER=x11 "$app" & pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^CorvinaApps$" | head -n 1)
  [ -n "$id" ] || { echo "no window titled CorvinaApps"; exit 1; }
  # Keys go to the window that has the focus, as a child typing would send them.
  key() { xdotool key --delay 80 "$@"; sleep 0.25; }
  shot() { [ -n "$shots" ] && import -window root "$shots/$1.png" || true; }
  sleep 1.5
  shot keys-home
  key Return; sleep 1.5          # the new-program card, chosen when the screen opens
  shot keys-editor
  key Return; key Down Return; key Down Return
  sleep 0.5
  shot keys-three
  # wait 1 again on line 40; LED off moved down one (Alt+Down); the forever
  # end after the last card; the forever start put on line 10, the others
  # moving down one row.
  key Return
  key Tab; key Up Up Up; key alt+Down; key Down Down
  key shift+Tab; key Down Down Down Return
  key Tab; key Home; key shift+Tab; key Up Return
  sleep 0.5
  shot keys-blink
  key F5
  led() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format "%[fx:int(255*p{63,382}.r)] %[fx:int(255*p{63,382}.g)] %[fx:int(255*p{63,382}.b)]" info:
  }
  lit() { read -r r g b <<< "$(led)"; [ "$r" -gt 200 ] && [ "$g" -gt 150 ] && [ "$b" -lt 120 ]; }
  for i in $(seq 1 120); do
    if lit; then
      [ -n "$shots" ] && cp "$work/shot.png" "$shots/keys-running.png"
      key ctrl+period; sleep 1
      shot keys-stopped
      exit 0
    fi
    sleep 0.25
  done
  echo "the simulated LED was never seen lit"
  exit 1
'

python3 - "$data" <<'PY'
import os, plistlib, sys
data = sys.argv[1]
with open(os.path.join(data, "savedatas", "list.plist"), "rb") as f:
    entry = plistlib.load(f)["datas"][0]
with open(os.path.join(data, entry["path"]), "rb") as f:
    cards = plistlib.load(f)
# Rows from the top, 116 points apart; the first card joins row 0 at y 5521.
rows = sorted((round((5521 - c["y"]) / 116), c["tab"], c["index"]) for c in cards)
expected = [(0, 0, 4), (1, 0, 0), (2, 0, 2), (3, 0, 1), (4, 0, 2), (5, 0, 5)]
assert rows == expected, rows
print("ok: forever { LED on, wait 1, LED off, wait 1 } on lines 10 to 60, typed with keys alone")
PY

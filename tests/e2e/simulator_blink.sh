#!/usr/bin/env bash
# A new user with no board: in the real window, with the mouse, a forever
# loop holding "LED on", "wait 1", "LED off", "wait 1" is built, play is
# pressed, and the simulated board's LED blinks on the screen. Screenshots
# are read at the LED's place; the optional second argument keeps them.
set -euo pipefail
app="$1"
shots="${2:-}"
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done
data=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$data" "$work"' EXIT
# A system with no serial port at all: the simulator is the board, and no
# real device is ever listed or opened.
system=$(mktemp -d)
mkdir -p "$system/sys/class/tty" "$system/dev"
export app shots work CORVINA_DATA_DIR="$data" CORVINA_SYSTEM_ROOT="$system"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  SDL_VIDEODRIVER=x11 "$app" & pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^CorvinaApps$" | head -n 1)
  [ -n "$id" ] || { echo "no window titled CorvinaApps"; exit 1; }
  # Design points are window pixels here (1024 x 768), y from the top.
  at() { xdotool mousemove --window "$id" "$1" "$2"; sleep 0.05; }
  # A palette card (grabbed 75 right of its middle) dragged onto a row.
  drag() {
    at 240 "$1"; xdotool mousedown 1
    for x in 250 262 290 330 380 430 480 540 600 660 720; do at $x "$1"; done
    at 731 "$2"; sleep 0.2
    xdotool mouseup 1; sleep 0.6
  }
  sleep 1
  at 512 384; xdotool click 1   # a new program
  sleep 1.5
  drag 622 108   # forever, start
  drag 142 224   # LED on
  drag 382 340   # wait 1
  drag 262 456   # LED off
  drag 382 572   # wait 1
  drag 725 688   # forever, end
  at 938 382; xdotool click 1   # play
  # The LED of the panel; lit it is yellow, dark it is grey.
  led() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format "%[fx:int(255*p{63,382}.r)] %[fx:int(255*p{63,382}.g)] %[fx:int(255*p{63,382}.b)]" info:
  }
  lit() { read -r r g b <<< "$(led)"; [ "$r" -gt 200 ] && [ "$g" -gt 150 ] && [ "$b" -lt 120 ]; }
  # Typing the program into the simulated board takes a few seconds.
  seen_on=0; seen_off=0
  for i in $(seq 1 120); do
    if lit; then
      [ "$seen_on" = 0 ] && [ -n "$shots" ] && cp "$work/shot.png" "$shots/simulator-led-on.png"
      seen_on=1
    elif [ "$seen_on" = 1 ]; then
      [ "$seen_off" = 0 ] && [ -n "$shots" ] && cp "$work/shot.png" "$shots/simulator-led-off.png"
      seen_off=1
    fi
    if [ "$seen_off" = 1 ] && lit; then
      echo "the LED went on, off and on again"
      exit 0
    fi
    sleep 0.25
  done
  echo "the simulated LED never blinked (on seen: $seen_on, off seen: $seen_off)"
  exit 1
'

#!/usr/bin/env bash
# Runs a program on a virtual X display with a window manager.
set -euo pipefail
for tool in xvfb-run openbox xprop; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done
export prog="$1"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox >/dev/null 2>&1 & wm=$!
  trap "kill $wm 2>/dev/null || true" EXIT
  # Wait until the window manager has taken the screen.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  SDL_VIDEODRIVER=x11 "$prog"
'

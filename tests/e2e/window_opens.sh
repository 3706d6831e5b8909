#!/usr/bin/env bash
# The editor opens one window titled "CorvinaApps" of 1024 x 768 under X.
# Optional second argument: a PNG path for a screenshot of the screen.
set -euo pipefail
app="$1"
shot="${2:-}"
for tool in xvfb-run xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done
mkdir -p "$CORVINA_DATA_DIR"
export CORVINA_SYSTEM_ROOT="$CORVINA_DATA_DIR/system"
mkdir -p "$CORVINA_SYSTEM_ROOT/sys/class/tty" "$CORVINA_SYSTEM_ROOT/dev"
export app shot
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  SDL_VIDEODRIVER=x11 "$app" & pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^CorvinaApps$" | head -n 1)
  [ -n "$id" ] || { echo "no window titled CorvinaApps"; exit 1; }
  info=$(xwininfo -id "$id")
  w=$(awk "/Width:/ {print \$2}" <<<"$info"); h=$(awk "/Height:/ {print \$2}" <<<"$info")
  echo "window $id: ${w} x ${h}"
  [ "$w" = 1024 ] && [ "$h" = 768 ] || { echo "expected 1024 x 768"; exit 1; }
  if [ -n "$shot" ] && command -v import >/dev/null; then sleep 1; import -window root "$shot"; fi
  kill -0 $pid || { echo "the editor exited"; exit 1; }
'
echo "ok"

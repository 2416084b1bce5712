#!/usr/bin/env bash
# Starts Inkwarden on a virtual display with fresh settings (offline, the update check fails) and
# saves what a person would see of the panel's footer:
#   scripts/screenshot-footer.sh [output folder]   (default build/screenshots)
# footer-panel.png: the panel with its footer; about.png: the about panel opened from it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
binary=${INKWARDEN_BINARY:-$root/build/dev/inkwarden}
display=:${DISPLAY_NUMBER:-94}
port=${INKWARDEN_PORT:-47394}
mkdir -p "$out"

home=$(mktemp -d)
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_CONFIG_HOME/inkwarden" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
echo "{\"port\": $port, \"hasSeenWelcome\": true, \"hasConnectedClient\": true}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

Xvfb "$display" -screen 0 800x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
  if [[ -n "$app" ]]; then kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true; fi
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
export DISPLAY=$display QT_QPA_PLATFORM=xcb

for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$binary" &
app=$!
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Inkwarden$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1
window=$(xdotool search --onlyvisible --name '^Inkwarden$' | head -1)
import -window "$window" "$out/footer-panel.png"

# "About Inkwarden" is the footer's third row, two rows above the panel's bottom edge.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" 100 $((HEIGHT - 10 - 26 - 13)) click 1
for _ in $(seq 50); do xdotool search --onlyvisible --name '^About Inkwarden$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
import -window "$(xdotool search --onlyvisible --name '^About Inkwarden$' | head -1)" "$out/about.png"
ls "$out"/footer-panel.png "$out"/about.png

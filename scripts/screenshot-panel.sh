#!/usr/bin/env bash
# Starts Inkwarden on a virtual display with fresh settings and saves what a person would see:
#   scripts/screenshot-panel.sh [output folder]   (default build/screenshots)
# panel.png: the panel as it opens; panel-manual.png: with Manual Setup open and "Other app (HTTP)"
# picked. With no tray on the bare display, the panel opens as a window at the top-left corner.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
binary=${INKWARDEN_BINARY:-$root/build/dev/inkwarden}
display=:${DISPLAY_NUMBER:-97}
port=${INKWARDEN_PORT:-47391}
mkdir -p "$out"

home=$(mktemp -d)
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_CONFIG_HOME/inkwarden" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
echo "{\"port\": $port, \"hasSeenWelcome\": true}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

Xvfb "$display" -screen 0 640x800x24 -nolisten tcp >/dev/null 2>&1 &
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
for _ in $(seq 50); do xdotool search --name '^Inkwarden$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
import -window root -crop 360x700+0+0 "$out/panel.png"

# Open Manual Setup, then pick the HTTP client through the picker's keyboard.
window=$(xdotool search --name '^Inkwarden$' | head -1)
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
manual_y=${MANUAL_Y:-126}
click 100 "$manual_y"
import -window root -crop 360x700+0+0 "$out/panel-manual-open.png"
xdotool mousemove --window "$window" 100 $((manual_y + 40)) click 1
sleep 0.3
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
xdotool key Return
sleep 0.5
import -window root -crop 360x700+0+0 "$out/panel-manual.png"

# Ask for a new token, look at the question, then confirm with Return.
click 100 "${RESET_Y:-270}"
import -window root -crop 360x700+0+0 "$out/panel-reset.png"
xdotool key Return
sleep 0.5
import -window root -crop 360x700+0+0 "$out/panel-after-reset.png"
ls "$out"/panel*.png

#!/usr/bin/env bash
# Starts Inkwarden on a virtual display with fresh settings and saves what a person would see:
#   scripts/screenshot-panel.sh [output folder]   (default build/screenshots)
# panel.png: the panel as it opens; panel-manual.png: with Manual Setup open and "Other app (HTTP)"
# picked. With no tray on the bare display, the panel opens as a window at the top-left corner.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 97 47391 "${1:-}"
echo "{\"port\": $port, \"hasSeenWelcome\": true}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

start_display 640x800
start_app
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

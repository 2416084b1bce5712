#!/usr/bin/env bash
# Starts Inkwarden on a virtual display with fresh settings (offline, the update check fails) and
# saves what a person would see of the panel's footer:
#   scripts/screenshot-footer.sh [output folder]   (default build/screenshots)
# footer-panel.png: the panel with its footer; about.png: the about panel opened from it.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 94 47394 "${1:-}"
echo "{\"port\": $port, \"hasSeenWelcome\": true, \"hasConnectedClient\": true}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

start_display 800x800
start_app
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

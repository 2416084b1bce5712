#!/usr/bin/env bash
# Starts Inkwarden on a virtual display as on a first launch and saves what a person would see:
#   scripts/screenshot-welcome.sh [output folder]   (default build/screenshots)
# welcome.png: the welcome window as it opens; welcome-copied.png: after "Copy Prompt", waiting
# for an AI client; welcome-connected.png: after a client reached the host.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 95 47392 "${1:-}"
# Checked just now, so no update check goes out.
echo "{\"port\": $port, \"lastUpdateCheck\": $(date +%s)}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

start_display 800x900
start_app
for _ in $(seq 50); do xdotool search --name '^Welcome to Inkwarden$' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
window=$(xdotool search --name '^Welcome to Inkwarden$' | head -1)
import -window "$window" "$out/welcome.png"

# The first step's button sits at the right edge of its row.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH - 44 - 40)) "${COPY_Y:-252}" click 1
sleep 0.5
import -window "$window" "$out/welcome-copied.png"

# A client names itself to the host.
token=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["token"])' "$XDG_CONFIG_HOME/inkwarden/settings.json")
curl -s -o /dev/null -H "Authorization: Bearer $token" -H 'X-Inkwarden-Client: Claude Code' \
  -H 'Content-Type: application/json' -H 'Accept: application/json, text/event-stream' \
  -d '{"jsonrpc":"2.0","id":1,"method":"ping"}' "http://127.0.0.1:$port/mcp"
sleep 0.5
import -window "$window" "$out/welcome-connected.png"
ls "$out"/welcome*.png

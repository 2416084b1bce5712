#!/usr/bin/env bash
# Starts Inkwarden on a virtual display as on a first launch and saves what a person would see:
#   scripts/screenshot-welcome.sh [output folder]   (default build/screenshots)
# welcome.png: the welcome window as it opens; welcome-copied.png: after "Copy Prompt", waiting
# for an AI client; welcome-connected.png: after a client reached the host.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
binary=${INKWARDEN_BINARY:-$root/build/dev/inkwarden}
display=:${DISPLAY_NUMBER:-95}
port=${INKWARDEN_PORT:-47392}
mkdir -p "$out"

home=$(mktemp -d)
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_CONFIG_HOME/inkwarden" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Checked just now, so no update check goes out.
echo "{\"port\": $port, \"lastUpdateCheck\": $(date +%s)}" > "$XDG_CONFIG_HOME/inkwarden/settings.json"

Xvfb "$display" -screen 0 800x900x24 -nolisten tcp >/dev/null 2>&1 &
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

#!/usr/bin/env bash
# Starts Inkwarden on a virtual display, has an AI client (curl with the token) call
# request_signature over HTTP, draws a signature with the mouse and saves what a person sees:
#   scripts/screenshot-signature.sh [output folder]   (default build/screenshots)
# signature-empty.png: the window with a document beside the pad, company text and stamp;
# signature-drawn.png: the same after drawing; signature-result.png: the PNG the client got;
# signature-plain.png: a request without document or company options; signature-trackpad.png:
# the pad after a click on it, in trackpad mode.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 97 47394 "${1:-}"
cat > "$XDG_CONFIG_HOME/inkwarden/settings.json" <<JSON
{"port": $port, "token": "screenshot-token", "hasSeenWelcome": true, "hasConnectedClient": true,
 "companyText": "Jane Doe\nManaging Director\nACME Ltd"}
JSON
convert -size 360x200 xc:none -fill none -stroke '#1f3f9f' -strokewidth 8 -draw 'roundrectangle 10,10 350,190 30,30' \
  -stroke none -fill '#1f3f9f' -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate +0-20 'ACME Ltd' \
  -pointsize 20 -annotate +0+30 'Approved' "$XDG_DATA_HOME/inkwarden/stamp.png"
# A page of a lease, as an image document.
convert -size 595x842 xc:white -fill black -font DejaVu-Sans -pointsize 22 -annotate +60+90 'Lease agreement' \
  -pointsize 12 -annotate +60+130 'The tenant rents the flat on the third floor.' \
  -annotate +60+700 'Signature: ____________________' "$home/lease.png"

start_display 1200x900
start_app
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/mcp" && break; sleep 0.1; done

call() {
  curl -s --max-time 60 "http://127.0.0.1:$port/mcp" -H 'Authorization: Bearer screenshot-token' \
    -H 'Content-Type: application/json' -H 'Accept: application/json, text/event-stream' \
    -H 'X-Inkwarden-Client: Claude' \
    -d "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"request_signature\",\"arguments\":$1}}"
}
visible() { xdotool search --onlyvisible --class inkwarden 2>/dev/null | sort || true; }
# Waits for a window that was not there before and prints its id.
new_window() {
  local before=$1 window=
  for _ in $(seq 100); do
    window=$(comm -13 <(echo "$before") <(visible) | head -1)
    [[ -n "$window" ]] && break
    sleep 0.1
  done
  [[ -n "$window" ]] || { echo "no window appeared" >&2; return 1; }
  sleep 0.5
  echo "$window"
}
# Draws a looping signature with the mouse, the pad's top-left at ($1, $2) on the screen.
draw() {
  local x=$1 y=$2
  xdotool mousemove $((x + 60)) $((y + 170)) mousedown 1
  for step in 70,150 85,110 100,90 110,110 105,160 115,180 135,150 150,120 165,150 175,170 195,140 \
              215,125 235,150 250,170 275,130 300,120 330,150 360,160 390,140; do
    xdotool mousemove $((x + ${step%,*})) $((y + ${step#*,}))
    sleep 0.02
  done
  xdotool mouseup 1
}
pad_origin() {
  # The pad lies right of the preview when there is one: find it by its window's geometry.
  local window=$1 wx wy ww
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X wy=$Y ww=$WIDTH
  if (( ww > 700 )); then echo "$((wx + 22 + 400 + 16)) $((wy + ${PAD_TOP:-150}))"; else echo "$((wx + 22)) $((wy + ${PAD_TOP:-150}))"; fi
}

before=$(visible)
call "{\"reason\":\"The lease for the flat on the third floor needs your signature.\",\"document_path\":\"$home/lease.png\",\"company\":true,\"stamp\":true}" > "$home/reply" &
caller=$!
window=$(new_window "$before")
import -window root "$out/signature-empty.png"
read -r px py < <(pad_origin "$window")
draw "$px" "$py"
sleep 0.3
import -window root "$out/signature-drawn.png"
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Return
wait $caller
reply=$(cat "$home/reply")
echo "request_signature: ${reply:0:400}"
path=$(echo "$reply" | grep -o '\\"path\\":\\"[^\\]*' | head -1 | sed 's/.*\\"//')
[[ -n "$path" && -f "$path" ]] && cp "$path" "$out/signature-result.png"

before=$(visible)
call '{"reason":"Sign the delivery note."}' > "$home/reply2" &
caller=$!
window=$(new_window "$before")
import -window root "$out/signature-plain.png"
read -r px py < <(pad_origin "$window")
xdotool mousemove $((px + 200)) $((py + 100)) click 1
sleep 0.3
import -window root "$out/signature-trackpad.png"
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Escape
sleep 0.3
xdotool key Escape
wait $caller || true
echo "second call: $(cat "$home/reply2" | head -c 300)"
ls "$out"/signature-*.png

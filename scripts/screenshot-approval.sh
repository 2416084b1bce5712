#!/usr/bin/env bash
# Starts Inkwarden on a virtual display, has an AI client (curl with the token) call
# set_company_stamp and set_company_text over HTTP, and saves what a person would see:
#   scripts/screenshot-approval.sh [output folder]   (default build/screenshots)
# approval-stamp.png, approval-text.png and approval-request.png (a request_stamp declined with
# Escape): the dialogs; company-section.png: the panel's company
# section after both were approved with Return.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 96 47393 "${1:-}"
cat > "$XDG_CONFIG_HOME/inkwarden/settings.json" <<JSON
{"port": $port, "token": "screenshot-token", "hasSeenWelcome": true, "hasConnectedClient": true,
 "companySection": true, "companyText": "Jane Doe\nManaging Director"}
JSON

# A round stamp on white paper: the white becomes transparent when it is stored.
convert -size 360x200 xc:white -fill none -stroke '#1f3f9f' -strokewidth 8 -draw 'roundrectangle 10,10 350,190 30,30' \
  -stroke none -fill '#1f3f9f' -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate +0-20 'ACME Ltd' \
  -pointsize 20 -annotate +0+30 'Approved' "$home/stamp.png"

start_display 800x800
start_app
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/mcp" && break; sleep 0.1; done

# One tools/call as an AI client sends it; prints the reply once the user answered.
call() {
  curl -s --max-time 60 "http://127.0.0.1:$port/mcp" -H 'Authorization: Bearer screenshot-token' \
    -H 'Content-Type: application/json' -H 'Accept: application/json, text/event-stream' \
    -H 'X-Inkwarden-Client: Claude' \
    -d "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"$1\",\"arguments\":$2}}"
}
visible() { xdotool search --onlyvisible --class inkwarden 2>/dev/null | sort || true; }
# Waits for a window that was not there before (the dialog), saves the screen, answers with a key.
answer() {
  local key=$1 before=$2 name=$3 window=
  for _ in $(seq 100); do
    window=$(comm -13 <(echo "$before") <(visible) | head -1)
    [[ -n "$window" ]] && break
    sleep 0.1
  done
  [[ -n "$window" ]] || { echo "no dialog appeared" >&2; return 1; }
  sleep 0.5
  import -window root "$out/$name.png"
  # Typed as a person would, to the focused dialog: a key sent to a window that the press closes
  # would lose its release and repeat in the next dialog.
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key "$key"
}

before=$(visible)
call set_company_stamp "{\"path\":\"$home/stamp.png\"}" > "$home/stamp-reply" &
answer Return "$before" approval-stamp
wait $!
echo "set_company_stamp: $(cat "$home/stamp-reply")"

before=$(visible)
call set_company_text '{"text":"Jane Doe\nManaging Director\nACME Ltd"}' > "$home/text-reply" &
answer Return "$before" approval-text
wait $!
echo "set_company_text: $(cat "$home/text-reply")"

before=$(visible)
call request_stamp '{"reason":"The lease for the flat in Rue de la Paix needs the company stamp.","document":"Lease agreement, Rue de la Paix 12, third floor, signed by both parties and the guarantor.pdf"}' > "$home/request-reply" &
answer Escape "$before" approval-request
wait $!
echo "request_stamp: $(cat "$home/request-reply")"

sleep 0.5
import -window root "$out/company-section.png"
ls "$out"/approval-*.png "$out"/company-section.png

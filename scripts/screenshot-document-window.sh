#!/usr/bin/env bash
# Starts Inkwarden on a virtual display, has an AI client (curl with the token) call sign_document
# with a three-page contract, and saves what a person would see:
#   scripts/screenshot-document-window.sh [output folder]   (default build/screenshots)
# document-window-empty.png: the window as it opens; document-window-signed.png: after a signature
# is drawn on the pad; document-window-moved.png: after the boxes were dragged (SIGNATURE_AT and
# STAMP_AT: "x y dx dy", a point on the box in window coordinates and the move). Return then
# signs; the reply is printed.
set -euo pipefail

source "$(dirname "$0")/screenshot-common.sh"
screenshot_init 97 47394 "${1:-}"
cat > "$XDG_CONFIG_HOME/inkwarden/settings.json" <<JSON
{"port": $port, "token": "screenshot-token", "hasSeenWelcome": true, "hasConnectedClient": true,
 "companySection": true, "companyText": "Jane Doe\nManaging Director\nACME Ltd"}
JSON

# The stored company stamp.
convert -size 360x200 xc:none -fill none -stroke '#1f3f9f' -strokewidth 8 -draw 'roundrectangle 10,10 350,190 30,30' \
  -stroke none -fill '#1f3f9f' -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate +0-20 'ACME Ltd' \
  -pointsize 20 -annotate +0+30 'Approved' "$XDG_DATA_HOME/inkwarden/stamp.png"

# A contract of three A4 pages of text, the last with a line to sign on.
python3 - "$home/contract.pdf" <<'PY'
import sys
pages = []
for number in range(1, 4):
    lines = [f"BT /F1 18 Tf 60 780 Td (Lease agreement - page {number} of 3) Tj ET"]
    for row in range(40):
        y = 740 - row * 16
        lines.append(f"BT /F1 10 Tf 60 {y} Td (Clause {number}.{row + 1}: the tenant and the landlord agree to the terms below.) Tj ET")
    if number == 3:
        lines.append("60 90 m 300 90 l S BT /F1 10 Tf 60 76 Td (Signature of the tenant) Tj ET")
    pages.append("\n".join(lines).encode())
objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for content in pages:
    objects.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (len(objects)))
    kids.append(len(objects))
objects[1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(b"%d 0 R" % k for k in kids), len(kids))
pdf = bytearray(b"%PDF-1.4\n")
offsets = []
for index, body in enumerate(objects, 1):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n" % index + body + b"\nendobj\n"
xref = len(pdf)
pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
for offset in offsets:
    pdf += b"%010d 00000 n \n" % offset
pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(sys.argv[1], "wb").write(pdf)
PY

start_display 1200x1000
start_app
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/mcp" && break; sleep 0.1; done

visible() { xdotool search --onlyvisible --class inkwarden 2>/dev/null | sort || true; }
before=$(visible)
curl -s --max-time 120 "http://127.0.0.1:$port/mcp" -H 'Authorization: Bearer screenshot-token' \
  -H 'Content-Type: application/json' -H 'Accept: application/json, text/event-stream' -H 'X-Inkwarden-Client: Claude' \
  -d "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"sign_document\",\"arguments\":{\"reason\":\"The lease for the flat in Rue de la Paix needs your signature on the last page.\",\"document_path\":\"$home/contract.pdf\",\"anchor_text\":\"Signature of the tenant\",\"company\":true,\"stamp\":true}}}" \
  > "$home/reply" &
call=$!

window=
for _ in $(seq 100); do
  window=$(comm -13 <(echo "$before") <(visible) | head -1)
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || { echo "no window appeared" >&2; exit 1; }
sleep 0.7
import -window root "$out/document-window-empty.png"
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y: the window's top-left corner

# The pad's top-left corner within the window (the right column of the layout).
padX=$((X + ${PAD_LEFT:-458})) padY=$((Y + ${PAD_TOP:-115}))
stroke() {
  xdotool mousemove $((padX + $1)) $((padY + $2)) mousedown 1
  shift 2
  while (($#)); do xdotool mousemove $((padX + $1)) $((padY + $2)); sleep 0.02; shift 2; done
  xdotool mouseup 1
}
stroke 90 170 110 120 130 90 150 150 165 185 185 120 210 100 235 160 260 130 290 140 330 120 360 150
stroke 120 195 340 190
sleep 0.5
import -window root "$out/document-window-signed.png"

# Drag a box by the given offset, starting at a point on it (window coordinates).
drag() {
  xdotool mousemove $((X + $1)) $((Y + $2)) mousedown 1
  local steps=10 i
  for ((i = 1; i <= steps; i++)); do
    xdotool mousemove $((X + $1 + $3 * i / steps)) $((Y + $2 + $4 * i / steps))
    sleep 0.03
  done
  xdotool mouseup 1
}
# Defaults: both boxes, which start at the anchor near the last page's foot, moved up the page
SIGNATURE_AT=${SIGNATURE_AT-"120 637 60 -450"} STAMP_AT=${STAMP_AT-"290 630 -60 -150"}
if [[ -n "${SIGNATURE_AT:-}" ]]; then
  read -r sx sy dx dy <<<"$SIGNATURE_AT"
  drag "$sx" "$sy" "$dx" "$dy"
fi
if [[ -n "${STAMP_AT:-}" ]]; then
  read -r sx sy dx dy <<<"$STAMP_AT"
  drag "$sx" "$sy" "$dx" "$dy"
fi
sleep 0.5
import -window root "$out/document-window-moved.png"

xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Return
wait "$call"
echo "sign_document: $(head -c 600 "$home/reply")"
ls "$out"/document-window-*.png

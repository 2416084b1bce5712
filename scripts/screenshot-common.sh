# Sourced by the screenshot scripts: a private home for Inkwarden, a virtual display, and the
# application started on it, all removed again when the script ends.

# screenshot_init DISPLAY_NUMBER PORT [output folder]: sets root, out, binary, display, port, home.
screenshot_init() {
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  out=${3:-$root/build/screenshots}
  binary=${INKWARDEN_BINARY:-$root/build/dev/inkwarden}
  display=:${DISPLAY_NUMBER:-$1}
  port=${INKWARDEN_PORT:-$2}
  mkdir -p "$out"
  home=$(mktemp -d)
  export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
  mkdir -p "$XDG_CONFIG_HOME/inkwarden" "$XDG_DATA_HOME/inkwarden" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  app=
  xvfb=
  trap screenshot_cleanup EXIT
}

screenshot_cleanup() {
  if [[ -n "$app" ]]; then kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true; fi
  if [[ -n "$xvfb" ]]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$home"
}

# start_display WIDTHxHEIGHT: a virtual screen, waited for.
start_display() {
  Xvfb "$display" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display QT_QPA_PLATFORM=xcb
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}

start_app() {
  "$binary" &
  app=$!
}

#!/usr/bin/env bash
# Loads the real local host with wrk: a new connection for every tools/list, the host alone on
# one core, the load generator on others. Prints wrk's figures and the host's RSS before and
# after. Usage: run.sh <server executable> [seconds] [connections]
set -euo pipefail
server=$1
seconds=${2:-60}
connections=${3:-32}
port=${HOST_LOAD_PORT:-47311}
here=$(cd "$(dirname "$0")" && pwd)
cores=$(nproc)
host_core=$((cores - 1))
load_cores="0-$((cores > 4 ? 3 : cores - 2))"

rss() { awk '/VmRSS/ {print $2 " kB"}' "/proc/$1/status"; }

fifo=$(mktemp -u)
mkfifo "$fifo"
taskset -c "$host_core" "$server" "$port" bench-token >"$fifo" &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r state _ <"$fifo"
[[ "$state" == ready ]] || { echo "host did not start" >&2; exit 1; }

# Warm up, then measure.
taskset -c "$load_cores" wrk -t2 -c"$connections" -d3s -s "$here/post.lua" "http://127.0.0.1:$port/mcp" >/dev/null
echo "host RSS before: $(rss $pid)"
taskset -c "$load_cores" wrk -t3 -c"$connections" -d"${seconds}s" --latency -s "$here/post.lua" "http://127.0.0.1:$port/mcp"
echo "host RSS after:  $(rss $pid)"

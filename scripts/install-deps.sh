#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Inkwarden need.
# Installs only what is missing and prints nothing when nothing is.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config make
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # library
  libboost1.81-dev libboost-json1.81-dev libboost-url1.81-dev libssl-dev
  # the executables' allocator
  libmimalloc-dev
  # application
  qt6-base-dev qt6-pdf-dev qt6-svg-dev qt6-qpa-plugins qt6-image-formats-plugins
  libqpdf-dev libheif-dev libevdev-dev libicu-dev
  # tools the tests and benchmarks drive: PDF inspection, a virtual display
  qpdf xvfb xauth
  # looking at the windows: screenshots and clicks on the virtual display
  imagemagick xdotool x11-utils curl
  fonts-urw-base35 fonts-dejavu-core
  # fuzzing (libFuzzer) and the host's load benchmark
  clang-16 libclang-rt-16-dev wrk
)

# The pinned npm tools the tests drive (Node and the conformance suite), into the build tree.
"$(dirname "$0")/install-node-tools.sh"

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Sets up a Debian 12 machine for Quillor, builds it, then either starts the
# program ("run") or runs every test through ctest ("test").
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test|build) ;;
  *) echo "usage: $0 run|test|build" >&2; exit 2 ;;
esac

has_display() { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }
no_display() {
  echo "No display: Quillor is a desktop program and needs an X or Wayland session (DISPLAY is not set)." >&2
  echo "To build without starting it: $0 build" >&2
  exit 1
}
# Say so at once rather than after a long build.
if [ "$mode" = run ] && ! has_display; then
  no_display
fi

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLOR_BUILD_DIR:-$top/build}

mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$top/tools/debian-packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Run this command as root (for example with sudo) so that they can be installed." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"

case "$mode" in
  build) ;;
  run)
    has_display || no_display
    exec "$build/bin/quillor"
    ;;
  test)
    cd "$build"
    ctest --output-on-failure -j "$(nproc)" --timeout 1800
    ;;
esac

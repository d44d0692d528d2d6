#!/usr/bin/env bash
# Runs the first demo scene. With a display (X11 or Wayland) and the desktop
# host built, it opens the scene in the host; otherwise it steps the scene
# headless with pudlet-cli and writes the last frame to out/dam-break.png.
#   ./run-demo.sh [BUILD_FOLDER]    (default: build)
# Without programs in the build folder, the installed ones (the Debian
# package) are used, with the demo scenes from their data folder.
set -euo pipefail
cd "$(dirname "$0")"

build=${1:-build}
scene=scenes/dam-break.pdl
host=$build/hosts/win/Pudlet
cli=$build/cli/pudlet-cli

if [ ! -x "$host" ] && [ ! -x "$cli" ] && command -v pudlet-cli >/dev/null; then
  cli=$(command -v pudlet-cli)
  host=$(command -v Pudlet || true)
  scene=$(dirname "$cli")/../share/pudlet/scenes/dam-break.pdl
  echo "run-demo.sh: nothing built in $build; using the installed $cli" >&2
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if [ -n "$host" ] && [ -x "$host" ]; then
    exec "$host" "$scene"
  fi
  echo "run-demo.sh: no desktop host at $host (configure with -DPUDLET_BUILD_HOSTS=ON); rendering headless instead" >&2
fi

if [ ! -x "$cli" ]; then
  echo "run-demo.sh: no pudlet-cli at $cli (configure with -DPUDLET_BUILD_CLI=ON and build)" >&2
  exit 1
fi
"$cli" run "$scene" --steps 400 --png out/dam-break.png >/dev/null
echo "Rendered $scene after 400 steps to $(pwd)/out/dam-break.png"

#!/usr/bin/env bash
# Steps every demo scene natively and in WebAssembly (under node) and compares
# the saved scenes byte for byte, and the hashes of every bit of their state;
# first the hashes of the engine's sin, cos and atan2 over a million arguments.
#   web/same_bits.sh NATIVE-TOOL WEB-TOOL.js [STEPS]
# NATIVE-TOOL is build/web/pudlet-same-bits, WEB-TOOL.js
# build-web/web/pudlet-same-bits.js (README: "The engine in WebAssembly").
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  sed -n '2,7p' "$0" >&2
  exit 2
fi
native=$(realpath "$1")
web=$(realpath "$2")
steps=${3:-1000}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
# The loader of emscripten 3.1.6 would fetch the .wasm file through node's
# fetch, which takes no file paths.
web_tool() { node --no-experimental-fetch "$web" "$@" 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }; }

native_trig=$("$native" trig 1000000)
web_trig=$(web_tool trig 1000000)
if [ "$native_trig" = "$web_trig" ]; then
  echo "same bits: sin, cos, atan2 (${native_trig#trig: })"
else
  echo "DIFFERENT: sin, cos, atan2: native $native_trig, WebAssembly $web_trig"
  failed=1
fi

for scene in "$root"/scenes/*.pdl; do
  name=$(basename "$scene" .pdl)
  native_state=$("$native" run "$scene" "$steps" "$work/$name.native.pdl" | grep -o 'state [0-9a-f]*')
  web_state=$(web_tool run "$scene" "$steps" "$work/$name.web.pdl" | grep -o 'state [0-9a-f]*')
  # The first line is the banner, which carries each build's date.
  tail -n +2 "$work/$name.native.pdl" >"$work/$name.native.body"
  tail -n +2 "$work/$name.web.pdl" >"$work/$name.web.body"
  if cmp -s "$work/$name.native.body" "$work/$name.web.body" && [ "$native_state" = "$web_state" ]; then
    echo "same bits: $name ($steps steps, $(stat -c %s "$work/$name.native.pdl") bytes)"
  else
    echo "DIFFERENT: $name after $steps steps: $native_state against $web_state;" \
      "$(cmp "$work/$name.native.body" "$work/$name.web.body" || true)"
    failed=1
  fi
done
exit $failed

#!/usr/bin/env bash
# Steps every demo scene natively and in WebAssembly (under node) and compares
# the saved scenes byte for byte, and the hashes of every bit of their state.
#   web/same_bits.sh [--except SCENE]... NATIVE-TOOL WEB-TOOL.js [STEPS]
# NATIVE-TOOL is build/web/pudlet-same-bits, WEB-TOOL.js
# build-web/web/pudlet-same-bits.js (README: "The engine in WebAssembly").
# A scene named with --except is compared and reported but does not fail.
set -euo pipefail
excepted=" "
while [ "${1:-}" = "--except" ] && [ $# -ge 2 ]; do
  excepted="$excepted$2 "
  shift 2
done
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
for scene in "$root"/scenes/*.pdl; do
  name=$(basename "$scene" .pdl)
  native_state=$("$native" run "$scene" "$steps" "$work/$name.native.pdl" | grep -o 'state [0-9a-f]*')
  # The loader of emscripten 3.1.6 would fetch the .wasm file through node's
  # fetch, which takes no file paths.
  web_state=$(node --no-experimental-fetch "$web" run "$scene" "$steps" "$work/$name.web.pdl" 2>"$work/stderr" \
    | grep -o 'state [0-9a-f]*') || { cat "$work/stderr" >&2; exit 1; }
  # The first line is the banner, which carries each build's date.
  tail -n +2 "$work/$name.native.pdl" >"$work/$name.native.body"
  tail -n +2 "$work/$name.web.pdl" >"$work/$name.web.body"
  if cmp -s "$work/$name.native.body" "$work/$name.web.body" && [ "$native_state" = "$web_state" ]; then
    echo "same bits: $name ($steps steps, $(stat -c %s "$work/$name.native.pdl") bytes)"
  else
    echo "DIFFERENT: $name after $steps steps: $native_state against $web_state;" \
      "$(cmp "$work/$name.native.body" "$work/$name.web.body" || true)"
    case "$excepted" in
      *" $name "*) echo "  (known difference, not judged)" ;;
      *) failed=1 ;;
    esac
  fi
done
exit $failed

#!/bin/sh
# Draws every demo scene in every render mode with two builds of pudlet-cli
# and prints the RMSE between their pictures, as a percentage of full scale.
#
#   bench/compare_pictures.sh OLD_CLI NEW_CLI [STEPS] [WxH] [SCALE] [follow]
#
# By default the 64 x 48 demo scenes fill 1280 x 960 (20 pixels a unit).
# With `follow`, the world box follows the picture's size at the scale, as
# the desktop hosts show a scene (the walls at the window's edges).
# Needs ImageMagick's `compare`. The simulation is the same bit for bit in
# both builds, so any difference comes from drawing.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: $0 OLD_CLI NEW_CLI [STEPS] [WxH] [SCALE] [follow]" >&2
    exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
steps=${3:-60}
size=${4:-1280x960}
scale=${5:-20}
follow=${6:-}
here=$(dirname "$(realpath "$0")")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-20s' scene
for mode in 1 2 3 4 5 6 7; do printf ' %7s' "mode $mode"; done
printf '   (RMSE %%, %s at scale %s, %s steps%s)\n' "$size" "$scale" "$steps" "${follow:+, box following the picture}"
for scene in "$here"/../scenes/*.pdl; do
    name=$(basename "$scene" .pdl)
    if [ "$follow" = follow ]; then
        # boundsRight = width / scale - boundsLeft, and so upwards.
        awk -v w="${size%x*}" -v h="${size#*x}" -v s="$scale" '
            $1 == "@" && $2 == "boundsLeft" { left = $3 }
            $1 == "@" && $2 == "boundsBottom" { bottom = $3 }
            { lines[NR] = $0 }
            END {
                for (i = 1; i <= NR; ++i) {
                    split(lines[i], f, " ")
                    if (f[1] == "@" && f[2] == "boundsRight") lines[i] = "@ boundsRight " (w / s - left)
                    if (f[1] == "@" && f[2] == "boundsTop") lines[i] = "@ boundsTop " (h / s - bottom)
                    print lines[i]
                }
            }' "$scene" > "$out/$name.pdl"
        scene="$out/$name.pdl"
    fi
    printf '%-20s' "$name"
    for mode in 1 2 3 4 5 6 7; do
        "$old" run "$scene" --steps "$steps" --mode "$mode" --size "$size" --scale "$scale" --png "$out/old.png" >/dev/null 2>&1
        "$new" run "$scene" --steps "$steps" --mode "$mode" --size "$size" --scale "$scale" --png "$out/new.png" >/dev/null 2>&1
        # compare writes "ABSOLUTE (NORMALIZED)" to stderr and exits 1 when
        # the pictures differ at all.
        rmse=$(compare -metric RMSE "$out/old.png" "$out/new.png" null: 2>&1 || true)
        printf ' %7s' "$(echo "$rmse" | sed -n 's/.*(\(.*\)).*/\1/p' | awk '{printf "%.3f", $1 * 100}')"
    done
    printf '\n'
done

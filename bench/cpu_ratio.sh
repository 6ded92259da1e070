#!/usr/bin/env bash
# The game's CPU use against a minimal 40 Hz loop's, as the README measures
# it: each runs in the same window size for CPU_SECONDS under a virtual screen
# while its CPU time is read from /proc, the two taking turns CPU_ROUNDS times
# so that both see the same load; the medians are compared.
#
# Usage: bench/cpu_ratio.sh BUILD [SIZE...]
#   The game's own loop inside bench_frame (--game-loop=SCALE,SIZE), standing
#   on an island of each SIZE (default 20 300), at 1x and 2x.
# Or:    bench/cpu_ratio.sh BUILD --world FOLDER NAME
#   The real game (BUILD/app/tessaria --world NAME) run from FOLDER, which
#   holds data/ with the world NAME in data/worlds/.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
shift
SCREEN="-screen 0 1920x1440x24"
CPU_SECONDS=${CPU_SECONDS:-10}
CPU_ROUNDS=${CPU_ROUNDS:-3}
export ALSOFT_DRIVERS=null

# Inside the virtual screen: the command in the background, a settling pause,
# then its CPU over CPU_SECONDS as a percentage of one core.
if [ "${1:-}" = --measure ]; then
    shift
    "$@" &
    pid=$!
    sleep 3
    source "$(dirname "$0")/cpu_percent.sh"
    cpu_percent "$pid" "$CPU_SECONDS" 2
    exit 0
fi

SELF=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
measure() { xvfb-run -a -s "$SCREEN" "$SELF" "$BUILD" --measure "$@"; }
FRAME=$BUILD/bench/bench_frame
RESULTS=$(mktemp)
trap 'rm -f "$RESULTS"' EXIT

if [ "${1:-}" = --world ]; then
    folder=$2 name=$3
    for round in $(seq "$CPU_ROUNDS"); do
        for scale in 1 2; do
            printf 'window.width = %d\nwindow.height = %d\n' $((640 * scale)) $((480 * scale)) \
                > "$folder/data/settings.ini"
            echo "loop$scale $(measure "$FRAME" --minimal-loop="$scale")" >> "$RESULTS"
            echo "game$scale $(cd "$folder" && measure "$BUILD/app/tessaria" --world "$name")" \
                >> "$RESULTS"
        done
    done
    sizes=game
else
    sizes=${*:-20 300}
    cd "$BUILD/run"
    for round in $(seq "$CPU_ROUNDS"); do
        for scale in 1 2; do
            echo "loop$scale $(measure "$FRAME" --minimal-loop="$scale")" >> "$RESULTS"
            for size in $sizes; do
                echo "$size$scale $(measure "$FRAME" --game-loop="$scale,$size")" >> "$RESULTS"
            done
        done
    done
fi

median() {
    awk -v name="$1" '$1 == name { print $2 }' "$RESULTS" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
spread() {
    awk -v name="$1" '$1 == name { printf "%s ", $2 }' "$RESULTS"
}
for scale in 1 2; do
    loop=$(median "loop$scale")
    echo "minimal loop at ${scale}x: $loop % of a core (rounds: $(spread "loop$scale"))"
    for size in $sizes; do
        game=$(median "$size$scale")
        awk -v g="$game" -v l="$loop" -v s="$size" -v x="$scale" -v r="$(spread "$size$scale")" \
            'BEGIN { printf "  %s at %sx: %.2f %% = %.2f x the loop (rounds: %s)\n", s, x, g, g / l, r }'
    done
done

#!/usr/bin/env bash
# Takes the README screenshots into docs/: the intro, the title menu, a built
# world by day, the same world at night beside lava, in rain and in snow, and
# the day in a larger window, where the picture is shown doubled.
# Usage: scripts/screenshots.sh [build-dir]   (default: build/play, where the
# play command builds). Needs Xvfb, xdotool and ImageMagick; the night shot
# waits for dusk, about 3.5 minutes.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)

# Runs inside a virtual screen of WIDTH x HEIGHT, filled by the game's window:
# starts the game, waits, enters the world when asked or opens the controls
# panel, and takes one screenshot. The picture sits in the window scaled by
# the largest whole factor, centred, so the buttons are clicked there.
shoot() {
    local run=$1 seed=$2 wait=$3 enter=$4 out=$5 width=$6 height=$7
    local scale=$((width / 640 < height / 480 ? width / 640 : height / 480))
    local left=$(((width - 640 * scale) / 2)) top=$(((height - 480 * scale) / 2))
    cd "$run"
    printf 'window.width = %d\nwindow.height = %d\n' "$width" "$height" > data/settings.ini
    TESSARIA_SEED=$seed ALSOFT_DRIVERS=null "$GAME" & local pid=$!
    sleep "$wait"
    case $enter in
    yes) # "single player", then Enter plays the world the list starts on
        xdotool mousemove --sync $((left + 300 * scale)) $((top + 217 * scale)) click 1
        sleep 0.5
        xdotool key Return
        sleep 1.5 ;;
    controls) xdotool mousemove --sync $((left + 300 * scale)) $((top + 277 * scale)) click 1; sleep 0.5 ;;
    esac
    import -window root "$out"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

if [ "${1:-}" = --shoot ]; then
    shift
    GAME=$1
    shift
    shoot "$@"
    exit 0
fi

BUILD=$(cd "${1:-$ROOT/build/play}" && pwd)
GAME=$BUILD/app/tessaria
ASSETGEN=$BUILD/tools/tessaria_assetgen
WORLDGEN=$BUILD/tools/tessaria_worldgen
for tool in xvfb-run xdotool import; do
    command -v "$tool" > /dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# name seed seconds action (enter the world, open the controls panel, or
# nothing) screen: seed 11 is a clear day, 57 starts in rain, 414 in
# snow; darkest night falls 8110 ticks (203 s) into a run.
SHOTS="intro 11 2.6 no 640x480
menu 11 5.5 controls 640x480
day 11 5.5 yes 640x480
rain 57 5.5 yes 640x480
snow 414 8 yes 640x480
night 11 206 yes 640x480
scaled 11 5.5 yes 1344x1008"

while read -r name seed wait enter screen; do
    run=$WORK/$name
    mkdir -p "$run"
    "$ASSETGEN" "$run/data" > /dev/null
    # The starter world that the play command offers; the seeds above put the
    # player at (10, 10), where all of it is in view.
    "$WORLDGEN" "$run/data/world/world.ini"
    # A world played before, so that the seed, not a first morning, decides
    # its weather and the clock runs from the start of the program.
    echo "player.look = 0" >> "$run/data/world/world.ini"
    xvfb-run -a -s "-screen 0 ${screen}x24" "$0" --shoot "$GAME" "$run" "$seed" "$wait" "$enter" \
        "$WORK/$name.png" "${screen%x*}" "${screen#*x}" &
done <<< "$SHOTS"
wait

mkdir -p "$ROOT/docs"
while read -r name _; do
    convert "$WORK/$name.png" -strip -define png:compression-level=9 "$ROOT/docs/$name.png"
    echo "docs/$name.png"
done <<< "$SHOTS"

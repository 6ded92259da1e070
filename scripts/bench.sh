#!/usr/bin/env bash
# Builds the bench preset (Release), runs every benchmark in bench/ under Xvfb
# and the game itself on the two benchmark worlds, and prints one table of the
# figures beside the performance targets. The benchmarks' own output stays in
# build/bench/bench-results/.
# Usage: scripts/bench.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
# Large enough for a window three times the 640 x 480 picture.
SCREEN="-screen 0 1920x1440x24"
CPU_SECONDS=10
CPU_ROUNDS=${CPU_ROUNDS:-3}

# Inside a virtual screen: the game in a prepared run folder, its window SCALE
# times the picture, "single player" clicked once the intro is over (or the
# minimal loop at that scale), then the CPU time it uses over CPU_SECONDS read
# from /proc, printed as a percentage of one core.
if [ "${1:-}" = --cpu ]; then
    what=$2 binary=$3 folder=$4 seed=$5 scale=$6
    cd "$folder"
    printf 'window.width = %d\nwindow.height = %d\n' $((640 * scale)) $((480 * scale)) \
        > data/settings.ini
    if [ "$what" = game ]; then
        TESSARIA_SEED=$seed ALSOFT_DRIVERS=null "$binary" &
        pid=$!
        sleep 5.5
        # "single player", then Enter plays the world the list starts on.
        xdotool mousemove --sync $((300 * scale)) $((217 * scale)) click 1
        sleep 0.5
        xdotool key Return
    else
        "$binary" --minimal-loop="$scale" &
        pid=$!
    fi
    sleep 2
    source "$ROOT/bench/cpu_percent.sh"
    cpu_percent "$pid" "$CPU_SECONDS" 1
    exit 0
fi

cd "$ROOT"
source scripts/packages.sh
install_packages $TEST_PACKAGES
BUILD=$ROOT/build/bench
cmake --preset bench > /dev/null
cmake --build --preset bench -j"$(nproc)" > "$BUILD/bench-build.log" || { cat "$BUILD/bench-build.log"; exit 1; }
export ALSOFT_DRIVERS=null
RESULTS=$BUILD/bench-results
rm -rf "$RESULTS"
mkdir -p "$RESULTS"

cd "$BUILD/run"
for bench in ../bench/bench_*; do
    [ -x "$bench" ] || continue
    name=$(basename "$bench")
    echo "running $name ..." >&2
    xvfb-run -a -s "$SCREEN" "$bench" --benchmark_out="$RESULTS/$name.csv" \
        --benchmark_out_format=csv > "$RESULTS/$name.log" 2>&1 ||
        echo "$name failed, see $RESULTS/$name.log" >&2
done

cpu_use() {  # cpu_use game|loop WORLD SEED SCALE
    local folder binary=$BUILD/app/tessaria
    [ "$1" = loop ] && binary=$BUILD/bench/bench_frame
    folder=$(mktemp -d)
    mkdir -p "$folder/data"
    for part in gfx fonts sfx; do ln -s "$BUILD/run/data/$part" "$folder/data/$part"; done
    "$BUILD/tools/tessaria_worldgen" --world="$2" "$folder/data/world/world.ini"
    echo "running the $1 at ${4}x on the $2 world for ${CPU_SECONDS} s ..." >&2
    xvfb-run -a -s "$SCREEN" "$ROOT/scripts/bench.sh" --cpu "$1" "$binary" "$folder" "$3" "$4"
    rm -rf "$folder"
}
# Seed 57 starts in rain, seed 11 on a clear day. The game and the minimal
# loop take turns, CPU_ROUNDS times at each scale, so that both see the same
# load; the medians are compared.
: > "$RESULTS/cpu.txt"
for round in $(seq "$CPU_ROUNDS"); do
    for scale in 1 2; do
        echo "loop$scale $(cpu_use loop worst 57 "$scale")" >> "$RESULTS/cpu.txt"
        echo "worst$scale $(cpu_use game worst 57 "$scale")" >> "$RESULTS/cpu.txt"
    done
done
echo "typical1 $(cpu_use game typical 11 1)" >> "$RESULTS/cpu.txt"

# value FILE BENCHMARK COLUMN: one figure from a benchmark's CSV output; the
# benchmark is named with its argument, if any (BM_EmptyFrame/2).
value() {
    [ -f "$RESULTS/$1.csv" ] || { echo nan; return; }
    awk -F, -v name="$2" -v column="$3" '
        /^name,/ { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }; next }
        col["name"] { n = $1; gsub(/"/, "", n); sub(/\/(iterations:|real_time).*/, "", n)
                      if (n == name) { print $(col[column]); exit } }' "$RESULTS/$1.csv"
}
# median_cpu NAME: the median of the CPU figures recorded under that name.
median_cpu() {
    awk -v name="$1" '$1 == name { print $2 }' "$RESULTS/cpu.txt" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2];
                                  else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

F=bench_frame
empty=$(value $F BM_EmptyFrame/1 median_ms)
worst=$(value $F BM_WorstCaseRun/1 median_ms)
worstX=$(value $F BM_WorstCaseRun/1 x_floor)
worstFloor=$(value $F BM_WorstCaseRun/1 floor_ms)
worst99=$(value $F BM_WorstCaseRun/1 p99_ms)
empty2=$(value $F BM_EmptyFrame/2 median_ms)
worst2=$(value $F BM_WorstCaseRun/2 median_ms)
worst2X=$(value $F BM_WorstCaseRun/2 x_floor)
worst2Floor=$(value $F BM_WorstCaseRun/2 floor_ms)
empty3=$(value $F BM_EmptyFrame/3 median_ms)
worst3=$(value $F BM_WorstCaseRun/3 median_ms)
worst3X=$(value $F BM_WorstCaseRun/3 x_floor)
worst3Floor=$(value $F BM_WorstCaseRun/3 floor_ms)
typical=$(value $F BM_TypicalRun median_ms)
typicalX=$(value $F BM_TypicalRun x_floor)
typicalFloor=$(value $F BM_TypicalRun floor_ms)
typical99=$(value $F BM_TypicalRun p99_ms)
straight=$(value $F BM_WorstCaseRunStraight median_ms)
straightTypical=$(value $F BM_TypicalRunStraight median_ms)
tick=$(value bench_world BM_WorldTickWorstCase real_time)
load=$(value bench_world BM_LoadWorld real_time)
save=$(value bench_world BM_SaveWorld real_time)
snapshot=$(value bench_world BM_TakeSnapshot real_time)
A=bench_autosave
savesNone=$(value $A BM_FramesNoSaveDue median_ms)
savesNone99=$(value $A BM_FramesNoSaveDue p99_ms)
savesFifth=$(value $A BM_FramesSavingEveryFifth median_ms)
savesFifth99=$(value $A BM_FramesSavingEveryFifth p99_ms)
savesSlow=$(value $A BM_FramesSavingEveryFifthSlowDisk median_ms)
savesSlow99=$(value $A BM_FramesSavingEveryFifthSlowDisk p99_ms)
startFirst=$(value bench_startup BM_StartUpToFirstFrame first_ms)
startMedian=$(value bench_startup BM_StartUpToFirstFrame median_ms)
cpuWorst=$(median_cpu worst1)
cpuWorst2=$(median_cpu worst2)
cpuLoop=$(median_cpu loop1)
cpuLoop2=$(median_cpu loop2)
cpuTypical=$(median_cpu typical1)

# Each run also times an empty frame after every frame it draws; its ratio to
# that floor, measured under the same load, is the one compared with targets.
awk -v empty="$empty" -v worst="$worst" -v worstX="$worstX" -v worstFloor="$worstFloor" \
    -v worst99="$worst99" -v typical="$typical" -v typicalX="$typicalX" \
    -v typicalFloor="$typicalFloor" -v typical99="$typical99" -v straight="$straight" \
    -v straightTypical="$straightTypical" -v tick="$tick" -v load="$load" -v save="$save" \
    -v startFirst="$startFirst" -v startMedian="$startMedian" -v cpuWorst="$cpuWorst" \
    -v cpuTypical="$cpuTypical" -v snapshot="$snapshot" -v savesNone="$savesNone" \
    -v savesNone99="$savesNone99" -v savesFifth="$savesFifth" -v savesFifth99="$savesFifth99" \
    -v savesSlow="$savesSlow" -v savesSlow99="$savesSlow99" -v cpuWorst2="$cpuWorst2" \
    -v cpuLoop="$cpuLoop" -v cpuLoop2="$cpuLoop2" -v empty2="$empty2" -v worst2="$worst2" \
    -v worst2X="$worst2X" -v worst2Floor="$worst2Floor" -v empty3="$empty3" -v worst3="$worst3" \
    -v worst3X="$worst3X" -v worst3Floor="$worst3Floor" '
function row(what, figure, target, met) {
    printf "| %-44s | %-26s | %-22s | %-4s |\n", what, figure, target, met
}
function met(ok) { return ok ? "yes" : "NO" }
function ms(v) { return sprintf("%.2f ms", v) }
function times(v, x, word) { return sprintf("%.2f ms = %.2f x %s", v, x, word) }
BEGIN {
    row("measure", "figure", "target", "met")
    printf "|%s|%s|%s|%s|\n", "----------------------------------------------",
        "----------------------------", "------------------------", "------"
    row("empty frame (clear, copy, flip), median", ms(empty), "the floor", "")
    row("worst-case world frame, median", times(worst, worstX, "floor"), "<= 3 x floor",
        met(worstX <= 3))
    row("  (floor timed alongside that run)", ms(worstFloor), "", "")
    row("worst-case world frame, 99th percentile", ms(worst99), "< 25 ms", met(worst99 < 25))
    row("worst-case frame drawn straight, median",
        sprintf("%.1f ms = %.0f x slower", straight, straight / worst), ">= 20 x slower",
        met(straight >= 20 * worst))
    row("typical world frame, median", times(typical, typicalX, "floor"), "<= 2 x floor",
        met(typicalX <= 2))
    row("  (floor timed alongside that run)", ms(typicalFloor), "", "")
    row("typical world frame, 99th percentile", ms(typical99), "", "")
    row("typical frame drawn straight, median",
        sprintf("%.1f ms = %.0f x slower", straightTypical, straightTypical / typical), "", "")
    row("worldTick(), worst case", sprintf("%.1f us = %.2f %% of a tick", tick, tick / 250),
        "< 1 % of 25 ms", met(tick < 250))
    row("loadWorld()", ms(load), "", "")
    row("saveWorld() (synced to disk)", ms(save), "", "")
    row("autosave: the copy a frame takes", sprintf("%.1f us", snapshot), "< 100 us",
        met(snapshot < 100))
    row("frames, median: no save / 5th / 200 ms disk",
        sprintf("%.2f / %.2f / %.2f ms", savesNone, savesFifth, savesSlow), "unchanged",
        met(savesSlow < 1.25 * savesNone))
    row("frames, p99: no save / 5th / 200 ms disk",
        sprintf("%.1f / %.1f / %.1f ms", savesNone99, savesFifth99, savesSlow99), "< 25 ms",
        met(savesSlow99 < 25))
    row("start-up to first frame, cold", sprintf("%.0f ms (warm %.0f ms)", startFirst, startMedian),
        "< 200 ms", met(startFirst < 200))
    row("empty frame at 2x (scaled copy), median", ms(empty2), "the 2x floor", "")
    row("worst-case world frame at 2x, median", times(worst2, worst2X, "floor"), "<= 1.5 x floor",
        met(worst2X <= 1.5))
    row("  (2x floor timed alongside that run)", ms(worst2Floor), "", "")
    row("empty frame at 3x (scaled copy), median", ms(empty3), "the 3x floor", "")
    row("worst-case world frame at 3x, median", times(worst3, worst3X, "floor"), "<= 1.5 x floor",
        met(worst3X <= 1.5))
    row("  (3x floor timed alongside that run)", ms(worst3Floor), "", "")
    row("CPU of the running game, worst-case world", sprintf("%.1f %% of a core", cpuWorst),
        "< 15 %", met(cpuWorst < 15))
    row("  against a minimal 40 Hz loop (same copy)",
        sprintf("%.2f x the loop (%.1f %%)", cpuWorst / cpuLoop, cpuLoop), "<= 1.25 x loop",
        met(cpuWorst <= 1.25 * cpuLoop))
    row("CPU of the game at 2x, worst-case world", sprintf("%.1f %% of a core", cpuWorst2),
        "", "")
    row("  against a minimal 40 Hz loop at 2x",
        sprintf("%.2f x the loop (%.1f %%)", cpuWorst2 / cpuLoop2, cpuLoop2), "<= 1.25 x loop",
        met(cpuWorst2 <= 1.25 * cpuLoop2))
    row("CPU of the running game, typical world", sprintf("%.1f %% of a core", cpuTypical), "", "")
}'

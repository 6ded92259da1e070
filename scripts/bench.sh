#!/usr/bin/env bash
# Builds the bench preset (Release), runs every benchmark in bench/ under Xvfb
# and the game itself on the two benchmark worlds, and prints one table of the
# figures beside the performance targets. The benchmarks' own output stays in
# build/bench/bench-results/.
# Usage: scripts/bench.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SCREEN="-screen 0 640x480x24"
CPU_SECONDS=10

# Inside a virtual screen: the game in a prepared run folder, "single player"
# clicked once the intro is over, then the CPU time it uses over CPU_SECONDS
# read from /proc, printed as a percentage of one core.
if [ "${1:-}" = --cpu ]; then
    game=$2 folder=$3 seed=$4
    cd "$folder"
    TESSARIA_SEED=$seed ALSOFT_DRIVERS=null "$game" &
    pid=$!
    sleep 5.5
    xdotool mousemove --sync 300 217 click 1
    sleep 2
    cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
    t0=$(cpu_ticks) s0=$(date +%s.%N)
    sleep "$CPU_SECONDS"
    t1=$(cpu_ticks) s1=$(date +%s.%N)
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.1f\n", 100 * (b - a) / hz / (e - s) }'
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

cpu_use() {  # cpu_use WORLD SEED
    local folder
    folder=$(mktemp -d)
    mkdir -p "$folder/data"
    for part in gfx fonts sfx; do ln -s "$BUILD/run/data/$part" "$folder/data/$part"; done
    "$BUILD/tools/tessaria_worldgen" --world="$1" "$folder/data/world/world.ini"
    echo "running the game on the $1 world for ${CPU_SECONDS} s ..." >&2
    xvfb-run -a -s "$SCREEN" "$ROOT/scripts/bench.sh" --cpu "$BUILD/app/tessaria" "$folder" "$2"
    rm -rf "$folder"
}
# Seed 57 starts in rain, seed 11 on a clear day.
echo "worst $(cpu_use worst 57)" > "$RESULTS/cpu.txt"
echo "typical $(cpu_use typical 11)" >> "$RESULTS/cpu.txt"

# value FILE BENCHMARK COLUMN: one figure from a benchmark's CSV output.
value() {
    [ -f "$RESULTS/$1.csv" ] || { echo nan; return; }
    awk -F, -v name="$2" -v column="$3" '
        /^name,/ { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }; next }
        col["name"] { n = $1; gsub(/"/, "", n); sub(/\/.*/, "", n)
                      if (n == name) { print $(col[column]); exit } }' "$RESULTS/$1.csv"
}

F=bench_frame
empty=$(value $F BM_EmptyFrame median_ms)
worst=$(value $F BM_WorstCaseRun median_ms)
worstX=$(value $F BM_WorstCaseRun x_floor)
worstFloor=$(value $F BM_WorstCaseRun floor_ms)
worst99=$(value $F BM_WorstCaseRun p99_ms)
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
cpuWorst=$(awk '$1 == "worst" { print $2 }' "$RESULTS/cpu.txt")
cpuTypical=$(awk '$1 == "typical" { print $2 }' "$RESULTS/cpu.txt")

# Each run also times an empty frame after every frame it draws; its ratio to
# that floor, measured under the same load, is the one compared with targets.
awk -v empty="$empty" -v worst="$worst" -v worstX="$worstX" -v worstFloor="$worstFloor" \
    -v worst99="$worst99" -v typical="$typical" -v typicalX="$typicalX" \
    -v typicalFloor="$typicalFloor" -v typical99="$typical99" -v straight="$straight" \
    -v straightTypical="$straightTypical" -v tick="$tick" -v load="$load" -v save="$save" \
    -v startFirst="$startFirst" -v startMedian="$startMedian" -v cpuWorst="$cpuWorst" \
    -v cpuTypical="$cpuTypical" -v snapshot="$snapshot" -v savesNone="$savesNone" \
    -v savesNone99="$savesNone99" -v savesFifth="$savesFifth" -v savesFifth99="$savesFifth99" \
    -v savesSlow="$savesSlow" -v savesSlow99="$savesSlow99" '
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
    row("CPU of the running game, worst-case world", sprintf("%.1f %% of a core", cpuWorst),
        "< 15 %", met(cpuWorst < 15))
    row("CPU of the running game, typical world", sprintf("%.1f %% of a core", cpuTypical), "", "")
}'

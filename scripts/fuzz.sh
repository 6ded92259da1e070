#!/usr/bin/env bash
# The long fuzz run, beside the test command's short one: builds the fuzz
# preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each fuzzer, or the ones named, for a budget of seconds. The corpus
# grows from run to run in a folder outside the repository; the seeds in
# tests/fuzz/corpus/ start it. Each fuzzer's executions, coverage and any
# crash files are printed at the end.
#   FUZZ_SECONDS  budget per fuzzer (default 600)
#   FUZZ_HOME     where the corpora and the crash files live
#                 (default ~/.cache/tessaria-fuzz)
#   FUZZ_JOBS     libFuzzer workers per fuzzer (default 1)
# Usage: scripts/fuzz.sh [fuzz_NAME ...]
set -uo pipefail
cd "$(dirname "$0")/.."
REPO=$PWD
SECONDS_EACH=${FUZZ_SECONDS:-600}
HOME_DIR=${FUZZ_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaria-fuzz}
JOBS=${FUZZ_JOBS:-1}
BUILD=$REPO/build/fuzz

case "$HOME_DIR" in
  "$REPO"|"$REPO"/*) echo "FUZZ_HOME must lie outside the repository"; exit 2 ;;
esac

echo "=== fuzz: configure and build"
cmake --preset fuzz > /dev/null || exit 1
targets=()
for name in "$@"; do targets+=(--target "$name"); done
cmake --build --preset fuzz -j"$(nproc)" "${targets[@]}" > "$BUILD/fuzz-build.log" 2>&1 ||
  { tail -n 40 "$BUILD/fuzz-build.log"; exit 1; }

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for fuzzer in "$BUILD"/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && names+=("$(basename "$fuzzer")")
  done
fi

summary=()
status=0
for name in "${names[@]}"; do
  fuzzer=$BUILD/tests/fuzz/$name
  [ -x "$fuzzer" ] || { summary+=("$name: no such fuzzer"); status=1; continue; }
  corpus=$HOME_DIR/$name/corpus
  crashes=$HOME_DIR/$name/crashes
  mkdir -p "$corpus" "$crashes"
  [ -d "$REPO/tests/fuzz/corpus/$name" ] && cp -rn "$REPO/tests/fuzz/corpus/$name/." "$corpus/"
  log=$HOME_DIR/$name/last-run.log
  echo "--- $name for ${SECONDS_EACH}s (corpus $corpus)"
  before=$(find "$crashes" -type f | wc -l)
  # Reproducers (crash-, leak-, timeout-, oom-) go to the crash folder.
  parallel=()
  [ "$JOBS" -gt 1 ] && parallel=(-jobs="$JOBS" -workers="$JOBS")
  (cd "$crashes" && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$fuzzer" -max_total_time="$SECONDS_EACH" -print_final_stats=1 "${parallel[@]}" \
    -artifact_prefix="$crashes/" "$corpus" > "$log" 2>&1)
  rc=$?
  [ "$JOBS" -gt 1 ] && cat "$crashes"/fuzz-*.log >> "$log" 2>/dev/null && rm -f "$crashes"/fuzz-*.log
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' |
         awk '{ s += $1 } END { print s + 0 }')
  cov=$(grep -oE '^#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 |
        grep -oE 'cov: [0-9]+ ft: [0-9]+')
  units=$(find "$corpus" -type f | wc -l)
  after=$(find "$crashes" -type f | wc -l)
  line="$name: $runs executions, ${cov:-cov: ?}, $units inputs in the corpus"
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    status=1
    line+=", FOUND $((after - before)) new crash file(s)"
    grep -E 'ERROR|runtime error|SUMMARY' "$log" | head -n 5
  fi
  summary+=("$line")
  for file in "$crashes"/*; do [ -f "$file" ] && summary+=("  crash file: $file"); done
done

echo
echo "===== Fuzz summary ====="
printf '%s\n' "${summary[@]}"
exit "$status"

#!/usr/bin/env bash
# Installs what the tests need, checks the sources' layout, builds the plain and the sanitizer
# configurations, runs every test headless in both, the unit tests of game/
# (where the saving thread lives) under ThreadSanitizer, then the fuzzers for
# a bounded time, and prints one summary.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $TEST_PACKAGES || { echo "package installation failed"; exit 1; }

JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
FUZZ_WORLD_SECONDS=${FUZZ_WORLD_SECONDS:-60}
summary=()
status=0

# The configurations, their build folders, what each builds and the tests'
# environment (the audio back end, the sanitizers' options) are presets in
# CMakePresets.json; the tsan preset builds and runs only the unit tests of
# game/, where the saving thread lives.
run_suite() {  # run_suite PRESET
  local preset=$1
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset"; then
    summary+=("$preset: configure FAILED"); status=1; return
  fi
  if ! cmake --build --preset "$preset" -j"$JOBS"; then
    summary+=("$preset: build FAILED"); status=1; return
  fi
  echo "=== $preset: tests"
  local log="build/$preset/ctest.log"
  ctest --preset "$preset" -j"$JOBS" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summary+=("$preset: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  [ "$rc" -eq 0 ] || status=1
}

run_fuzzers() {
  local dir=build/fuzz
  echo "=== fuzz: configure and build (clang, libFuzzer, ASan, UBSan)"
  if ! cmake --preset fuzz >/dev/null || ! cmake --build --preset fuzz -j"$JOBS"; then
    summary+=("fuzzers: build FAILED"); status=1; return
  fi
  local failed=0 count=0
  for fuzzer in "$dir"/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    local name seconds corpus
    name=$(basename "$fuzzer")
    seconds=$FUZZ_SECONDS
    [ "$name" = fuzz_world_file ] && seconds=$FUZZ_WORLD_SECONDS
    corpus=$(mktemp -d)
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    echo "--- $name for ${seconds}s"
    count=$((count + 1))
    # Crash reproducers land in the build folder, not the source tree.
    (cd "$dir" && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$OLDPWD/$fuzzer" -max_total_time="$seconds" "$corpus" >"$corpus.log" 2>&1)
    local rc=$?
    tail -n 2 "$corpus.log"
    if [ "$rc" -ne 0 ]; then
      failed=$((failed + 1)); tail -n 40 "$corpus.log"
    fi
    rm -f "$corpus.log"
    rm -rf "$corpus"
  done
  summary+=("fuzzers: $((count - failed)) of $count ran clean")
  [ "$failed" -eq 0 ] || status=1
}

# The sources' layout is .clang-format's; a file that drifts fails the run.
run_format() {
  echo "=== format: check"
  if bash scripts/format.sh --check; then
    summary+=("format: every file follows .clang-format")
  else
    summary+=("format: FAILED (bash scripts/format.sh lays the files out)"); status=1
  fi
}

run_format
run_suite default
run_suite asan-ubsan
run_suite tsan
run_fuzzers

echo
echo "===== Summary ====="
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] && echo "ALL PASSED" || echo "SOME FAILED"
exit "$status"

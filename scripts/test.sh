#!/usr/bin/env bash
# Installs what the tests need, builds the plain and the sanitizer
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
# No sound card here: OpenAL Soft's null back end lets audio install and play for real.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
summary=()
status=0

run_suite() {  # run_suite NAME BUILD_DIR CMAKE_ARGS...
  local name=$1 dir=$2; shift 2
  echo "=== $name: configure and build"
  if ! cmake -S . -B "$dir" -G Ninja "$@"; then
    summary+=("$name: configure FAILED"); status=1; return
  fi
  if ! cmake --build "$dir" -j"$JOBS"; then
    summary+=("$name: build FAILED"); status=1; return
  fi
  echo "=== $name: tests"
  local log="$dir/ctest.log"
  ctest --test-dir "$dir" --output-on-failure -j"$JOBS" --timeout 600 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summary+=("$name: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  [ "$rc" -eq 0 ] || status=1
}

# Only the game library's tests are built here, so only they carry the label.
run_tsan() {
  local dir=build-tsan log=build-tsan/ctest.log
  echo "=== tsan: configure and build the unit tests of game/"
  if ! cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSARIA_TSAN=ON \
         -DTESSARIA_BENCH=OFF >/dev/null ||
     ! cmake --build "$dir" -j"$JOBS" --target assets test_game; then
    summary+=("tsan: build FAILED"); status=1; return
  fi
  TSAN_OPTIONS="halt_on_error=1" ctest --test-dir "$dir" -L unit --output-on-failure \
    -j"$JOBS" --timeout 600 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summary+=("tsan: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  [ "$rc" -eq 0 ] || status=1
}

run_fuzzers() {
  local dir=build-fuzz
  echo "=== fuzzers: configure and build (clang, libFuzzer, ASan, UBSan)"
  if ! CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTESSARIA_FUZZ=ON >/dev/null ||
     ! cmake --build "$dir" -j"$JOBS"; then
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
    (cd "$dir" && "$OLDPWD/$fuzzer" -max_total_time="$seconds" "$corpus" >"$corpus.log" 2>&1)
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

# The leak checker stays on for the plain libraries; the graphics stack of a
# real window keeps allocations until exit, which is not ours to free.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_suite "plain" build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIA_BENCH=OFF
run_suite "asan+ubsan" build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSARIA_SANITIZE=ON -DTESSARIA_BENCH=OFF
run_tsan
run_fuzzers

echo
echo "===== Summary ====="
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] && echo "ALL PASSED" || echo "SOME FAILED"
exit "$status"

#!/usr/bin/env bash
# Installs what the tests need, checks the sources' layout, builds the plain and the sanitizer
# configurations, runs every test headless in both, the unit tests of game/
# (where the saving thread lives) under ThreadSanitizer, then the fuzzers for
# a bounded time, and prints one summary.
#
# Most of the time goes into compiling four configurations and into window
# tests that mostly wait for a game and an X server. So the compiler goes
# through ccache (a machine that ran this before compiles little), the window
# tests run twice as many at once as there are cores, and the next configuration
# compiles, at a lower priority, while the last one's tests run.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $TEST_PACKAGES || { echo "package installation failed"; exit 1; }

JOBS=$(nproc)
# Window tests at once: each starts its own X server and game and spends most
# of its time waiting for them.
TEST_JOBS=${TEST_JOBS:-$((2 * JOBS))}
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
FUZZ_WORLD_SECONDS=${FUZZ_WORLD_SECONDS:-60}
summary=()
status=0
build_pid=0

if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  # Hits across clones in other folders: paths below here are hashed as relative.
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi

# The configurations, their build folders, what each builds and the tests'
# environment (the audio back end, the sanitizers' options) are presets in
# CMakePresets.json; the tsan preset builds only the unit tests of game/,
# where the saving thread lives, and the fuzz preset only the fuzzers.

# build PRESET: configures and builds into build/PRESET.build.log; 1 when the
# configuration fails, 2 when the build does.
build() {
  local preset=$1
  {
    cmake --preset "$preset" || return 1
    cmake --build --preset "$preset" -j"$JOBS" || return 2
  } >"build/$preset.build.log" 2>&1
}

# start_build PRESET...: builds them one after the other in the background,
# below the tests' priority, so that the window tests running meanwhile keep
# their pace. Each one's status lands in build/PRESET.build.status.
start_build() {
  local preset
  for preset in "$@"; do rm -f "build/$preset.build.status"; done
  echo "=== $*: configure and build (in the background)"
  (
    renice -n 10 "$BASHPID" >/dev/null
    for preset in "$@"; do
      build "$preset"
      echo $? >"build/$preset.build.status"
    done
  ) &
  build_pid=$!
}

# finish_build PRESET: waits for it; true when it built.
finish_build() {
  local preset=$1 rc
  while [ ! -e "build/$preset.build.status" ] && kill -0 "$build_pid" 2>/dev/null; do
    sleep 1
  done
  rc=$(cat "build/$preset.build.status" 2>/dev/null || echo 2)
  case "$rc" in
    0) echo "=== $preset: built"; return 0 ;;
    1) summary+=("$preset: configure FAILED") ;;
    *) summary+=("$preset: build FAILED") ;;
  esac
  status=1
  echo "=== $preset: FAILED"
  tail -n 60 "build/$preset.build.log"
  return 1
}

# run_tests PRESET [LABEL JOBS]: the preset's tests, or those with the label
# (LABEL) or without it (-LABEL), so many at once.
run_tests() {
  local preset=$1 label=${2:-} jobs=${3:-$JOBS} what=$1 select=()
  case "$label" in
    "") ;;
    -*) select=(-LE "${label#-}"); what="$preset (all but ${label#-})" ;;
    *) select=(-L "$label"); what="$preset ($label)" ;;
  esac
  echo "=== $what: tests"
  local log="build/$preset/ctest${label:+.$label}.log"
  ctest --preset "$preset" "${select[@]}" -j"$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summary+=("$what: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  [ "$rc" -eq 0 ] || status=1
}

# The headless tests keep the cores busy by themselves; the window tests
# (label e2e) mostly wait, so more of them run at once.
run_suite_tests() {  # run_suite_tests PRESET
  run_tests "$1" -e2e "$JOBS"
  run_tests "$1" e2e "$TEST_JOBS"
}

# One fuzzer for its time, from a copy of its seed corpus; its log and status
# land in the folder given.
run_fuzzer() {  # run_fuzzer FUZZER SECONDS OUT
  local fuzzer=$1 seconds=$2 out=$3 name corpus
  name=$(basename "$fuzzer")
  corpus=$(mktemp -d)
  [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
  # Crash reproducers land in the build folder, not the source tree.
  (cd build/fuzz && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$OLDPWD/$fuzzer" -max_total_time="$seconds" "$corpus" >"$out/$name.log" 2>&1)
  echo $? >"$out/$name.status"
  rm -rf "$corpus"
}

# The fuzzers run as many at once as there are cores, each single-threaded
# for its whole time, the longest first.
run_fuzzers() {
  local out=$PWD/build/fuzz/runs fuzzer name seconds
  rm -rf "$out" && mkdir -p "$out"
  local fuzzers=(build/fuzz/tests/fuzz/fuzz_world_file)
  for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
    [ "$fuzzer" = "${fuzzers[0]}" ] || fuzzers+=("$fuzzer")
  done
  local count=0 failed=0
  for fuzzer in "${fuzzers[@]}"; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    seconds=$FUZZ_SECONDS
    [ "$name" = fuzz_world_file ] && seconds=$FUZZ_WORLD_SECONDS
    echo "--- $name for ${seconds}s"
    count=$((count + 1))
    while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n; done
    run_fuzzer "$fuzzer" "$seconds" "$out" &
  done
  wait
  for fuzzer in "${fuzzers[@]}"; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    echo "--- $name"
    tail -n 2 "$out/$name.log"
    local rc
    rc=$(cat "$out/$name.status" 2>/dev/null || echo 1)
    if [ "$rc" -ne 0 ]; then
      # A signal (status above 128) leaves nothing in the log: say which.
      failed=$((failed + 1)); tail -n 40 "$out/$name.log"
      echo "$name ended with status $rc"
    fi
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

mkdir -p build
run_format
echo "=== default: configure and build"
if build default; then
  echo "=== default: built"
  default_built=1
else
  summary+=("default: build FAILED"); status=1; tail -n 60 build/default.build.log
  default_built=0
fi
start_build asan-ubsan
[ "$default_built" -eq 1 ] && run_suite_tests default
finish_build asan-ubsan && asan_built=1 || asan_built=0
start_build tsan fuzz
[ "$asan_built" -eq 1 ] && run_suite_tests asan-ubsan
finish_build tsan && run_tests tsan
if finish_build fuzz && wait "$build_pid"; then
  echo "=== fuzz: run (clang, libFuzzer, ASan, UBSan)"
  run_fuzzers
fi
wait

echo
echo "===== Summary ====="
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] && echo "ALL PASSED" || echo "SOME FAILED"
exit "$status"

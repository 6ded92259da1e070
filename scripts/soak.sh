#!/usr/bin/env bash
# Kills saving processes at random moments, over and over, and checks what
# each kill leaves in the world folder: a whole world, and at most one stray
# temporary file. The test suite runs the same checks for a few rounds; this
# runs many.
#   SAVE_ROUNDS  kills of a process that saves in a loop (default 1000)
#   GAME_ROUNDS  kills of the game while it mines and places, autosaving in a
#                real window under Xvfb (default 20)
# Usage: scripts/soak.sh   (builds what it runs in the default preset's folder)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $TEST_PACKAGES
BUILD=$PWD/build/default
cmake --preset default > /dev/null
cmake --build --preset default -j"$(nproc)" --target assets tessaria test_game test_e2e \
    > "$BUILD/soak-build.log" || { cat "$BUILD/soak-build.log"; exit 1; }
cd "$BUILD/run"
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}

echo "=== ${SAVE_ROUNDS:-1000} kills of a saving process"
TESSARIA_SOAK_ROUNDS=${SAVE_ROUNDS:-1000} ../tests/game/test_game \
    --gtest_filter=SafeSaving.AProcessKilledMidSaveLeavesAWholeWorld

echo "=== ${GAME_ROUNDS:-20} kills of the game while it mines and places"
TESSARIA_SOAK_ROUNDS=${GAME_ROUNDS:-20} ../tests/app/test_e2e \
    --gtest_filter=ActionsInAWindow.KillsAtRandomMomentsWhileMiningAndPlacingLeaveAWholeWorld

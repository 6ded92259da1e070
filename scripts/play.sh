#!/usr/bin/env bash
# Installs what the game needs, builds it, generates its data and plays.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $PLAY_PACKAGES

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARIA_TESTS=OFF -DTESSARIA_BENCH=OFF >/dev/null
cmake --build build --target tessaria tessaria_assetgen
build/tools/tessaria_assetgen data
# The game reads data/ relative to where it runs; the world is kept in data/world/.
exec build/app/tessaria

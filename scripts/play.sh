#!/usr/bin/env bash
# Installs what the game needs, builds it, generates its data and plays.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $PLAY_PACKAGES

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARIA_TESTS=OFF -DTESSARIA_BENCH=OFF >/dev/null
cmake --build build --target tessaria tessaria_assetgen
build/tools/tessaria_assetgen data
# A first run starts in the starter world; after that the saved world is yours.
if [ ! -e data/world/world.ini ]; then
  mkdir -p data/world
  awk -f scripts/starter_world.awk > data/world/world.ini
fi
# The game reads data/ relative to where it runs; the world is kept in data/world/.
exec build/app/tessaria

#!/usr/bin/env bash
# Installs what the game needs, builds it (with the server, the bots and the
# world tools beside it in build/play/), generates its data and plays.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $PLAY_PACKAGES

# A machine that has compiled the game before compiles little again.
if command -v ccache > /dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi
cmake --preset play > /dev/null
cmake --build --preset play
build/play/tools/tessaria_assetgen data
# A first run starts in the starter world; after that the saved world is yours.
[ -e data/world/world.ini ] || build/play/tools/tessaria_worldgen data/world/world.ini
# The game reads data/ relative to where it runs; the world is kept in data/world/.
exec build/play/app/tessaria

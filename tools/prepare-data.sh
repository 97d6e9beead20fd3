#!/usr/bin/env bash
# tools/prepare-data.sh GAME DATA_FOLDER [BUILD_FOLDER]: puts the game's generated data
# (built into BUILD_FOLDER/GAME/data by the asset generators) into the folder the game runs in.
set -euo pipefail
game=$1 data=$2 build=${3:-build-release}
src=$build/$game/data
if [ -d "$src" ]; then
  cp -a "$src"/. "$data"/
fi

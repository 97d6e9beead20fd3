#!/usr/bin/env bash
# tools/prepare-data.sh GAME DATA_FOLDER [BUILD_FOLDER]: puts the game's generated data
# (built into BUILD_FOLDER/GAME/data by the asset generators) into the folder the game runs in,
# making that folder when it is missing. Exit code 1 when the build holds no data for the
# game (not built yet, or another build folder meant), 2 on bad usage.
set -euo pipefail
usage="usage: tools/prepare-data.sh GAME DATA_FOLDER [BUILD_FOLDER]   (BUILD_FOLDER: build-release)"
mistake() { printf 'tools/prepare-data.sh: %s\n%s\n' "$1" "$usage" >&2; exit 2; }
case "${1:-}" in
  -h|--help) echo "$usage"; exit 0 ;;
esac
for a in "$@"; do
  case "$a" in -*) mistake "unknown option \"$a\"" ;; esac
done
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  mistake "needs GAME and DATA_FOLDER, $# given"
fi
game=$1 data=$2 build=${3:-build-release}
src=$build/$game/data
if [ ! -d "$src" ]; then
  echo "tools/prepare-data.sh: no data for $game in $src: build it first (or name the build folder)" >&2
  exit 1
fi
mkdir -p "$data"
cp -a "$src"/. "$data"/

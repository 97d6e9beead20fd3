#!/usr/bin/env bash
# ./play.sh kolvo2|pellax [options]: installs what is missing, builds in Release,
# prepares the game's data folder and starts the game. Options are passed to the host
# layer (./play.sh --help lists them; host/README.md tells more), for example:
# --headless --script s.txt --shots dir
set -euo pipefail
cd "$(dirname "$0")"
game=${1:-}
case "$game" in
  kolvo2|pellax) shift ;;
  -h|--help) eval "$(host/play-options.sh --help)" ;;
  *) echo "usage: ./play.sh kolvo2|pellax [options]   (./play.sh --help for the options)" >&2; exit 2 ;;
esac
# The options are read before the build, so that --help or a mistake costs no build.
options=$(host/play-options.sh "$@")
if grep -q '^exit ' <<<"$options"; then eval "$options"; fi

. tools/install-deps.sh
install_deps
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGP2X_TESTS=OFF -DGP2X_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)"

exe=build-release/$game/$game
[ "$game" = pellax ] && exe=build-release/pellax/game/pellax
if [ ! -x "$exe" ]; then
  echo "The program $game is not there yet: the build has no $exe."
  exit 1
fi
# The game reads and writes its data in the folder it starts in.
data=run/$game
mkdir -p "$data"
tools/prepare-data.sh "$game" "$data" build-release
eval "$options"
cd "$data" && exec "../../$exe"

#!/usr/bin/env bash
# ./play.sh kolvo2|pellax [options]: installs what is missing, builds in Release,
# prepares the game's data folder and starts the game. Options are passed to the host
# layer (./play.sh --help lists them; host/README.md tells more), for example:
# --headless --script s.txt --shots dir
#
# A game in a window runs in run/GAME, the player's folder. A headless run runs in a folder
# of its own (run/GAME-headless, or --dir), emptied and laid with fresh data each time, so
# that its script meets the game's defaults on every machine and the player's settings and
# scores stay as they are. The folder is marked as one play.sh made (the file named in
# `mark`), and play.sh empties no folder that holds anything but is not so marked.
set -euo pipefail
cd "$(dirname "$0")"
game=${1:-}
case "$game" in
  kolvo2|pellax) shift ;;
  -h|--help) eval "$(host/play-options.sh --help)" ;;
  *) echo "usage: ./play.sh kolvo2|pellax [options]   (./play.sh --help for the options)" >&2; exit 2 ;;
esac
# The options are read and checked before the build, so that --help or a mistake costs no
# build. The host's settings are exported only for the game: the build runs programs too.
options=$(host/play-options.sh "$@")
eval "$(grep -v '^export ' <<<"$options")"

mark=.play-headless-run
data=run/$game
if [ "$play_headless" = 1 ]; then
  data=$(realpath -m -- "${play_dir:-run/$game-headless}")
  # A player's folder keeps the settings and scores of the games played in a window: a
  # headless run empties its folder, so neither such a folder nor one that holds it will do,
  # marked or not, there already or not.
  within=${data%/}  # "/" holds everything
  for player in run/kolvo2 run/pellax; do
    player=$(realpath -m -- "$player")
    case "$player/" in
      "$within"/*)
        echo "play.sh: $data is or holds the player's folder $player, which a headless run" \
             "would empty; name another folder (--dir DIR)" >&2
        exit 2 ;;
    esac
  done
  if [ -e "$data" ] && [ ! -d "$data" ]; then
    echo "play.sh: $data is not a folder: a headless run needs a folder of its own (--dir DIR)" >&2
    exit 2
  fi
  if [ -d "$data" ] && [ ! -e "$data/$mark" ] && [ -n "$(ls -A -- "$data")" ]; then
    echo "play.sh: $data holds files and no headless run was made in it; as a headless run" \
         "empties its folder first, name a new or empty one (--dir DIR)" >&2
    exit 2
  fi
  script=$(eval "$options"; printf '%s' "${GP2X_SCRIPT:-}")
  case "$script/" in
    "$data"/*)
      echo "play.sh: the script $script lies in $data, which is emptied before the run" >&2
      exit 2 ;;
  esac
fi

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
exe=$PWD/$exe
# The game reads and writes its data in the folder it starts in.
mkdir -p "$data"
if [ "$play_headless" = 1 ]; then
  # Checked again: the folder may have been filled during the build.
  if [ ! -e "$data/$mark" ] && [ -n "$(ls -A -- "$data")" ]; then
    echo "play.sh: $data is no longer empty; it is left as it is" >&2
    exit 2
  fi
  find "$data" -mindepth 1 -maxdepth 1 ! -name "$mark" -exec rm -rf -- {} +
  echo "A headless run's folder, made by play.sh: emptied and laid afresh at every run." > "$data/$mark"
else
  # The player's folder is never one a headless run may empty, whatever marked it before.
  rm -f -- "$data/$mark"
fi
tools/prepare-data.sh "$game" "$data" build-release
eval "$options"
cd "$data" && exec "$exe"

#!/usr/bin/env bash
# pellax resting on its title in a window (on the real clock, with the sound played) keeps
# its memory flat: the resident size after SECONDS (600 unless given) is within 4 MB of what
# it was after the first minute. SDL's dummy drivers stand in for the display and the sound
# card; they pace the game and its sound as real ones do.
# Slow, so outside the default test run: `ctest -C slow -R pellax_idle_memory` in a build
# folder, or by hand: tests/pellax/platform/idle_memory_test.sh PROGRAM DATA_FOLDER [SECONDS].
# It prints the resident size once a minute.
set -euo pipefail
program=$1 data=$2 seconds=${3:-600}
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
cp -a "$data"/. "$tmp"/
cd "$tmp"
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy GP2X_HEADLESS=0 "$program" >out.txt 2>err.txt &
pid=$!
first=
for ((t = 60; t <= seconds; t += 60)); do
  sleep 60
  kill -0 "$pid" 2>/dev/null || { echo "FAILED: pellax ended: $(cat err.txt)" >&2; exit 1; }
  now=$(rss_kb)
  echo "after ${t} s: ${now} kB resident"
  [ -n "$first" ] || first=$now
done
grown=$((now - first))
echo "grown by ${grown} kB from the first minute to the last"
[ "$grown" -le 4096 ] || { echo "FAILED: the resident size grew by more than 4 MB" >&2; exit 1; }

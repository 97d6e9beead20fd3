#!/usr/bin/env bash
# The example program runs headless from a script to its hand-over, leaving screenshots,
# runs in a window under SDL's dummy video driver (a build without SDL2, told "headless",
# refuses the window and says why), quits on SIGTERM and has a usage.
set -euo pipefail
program=$1 kind=${2:-window}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
fail() { echo "FAILED: $1" >&2; exit 1; }

printf '# hold right, then Start + Select\n0 none\n300 right a\n1200 start+select\n' > s.txt
GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_SHOT_AT=500,1000 GP2X_UNTIL=5000 "$program" 2>err.txt ||
  fail "headless run exit code"
grep -q 'hands over to "/usr/gp2x/gp2xmenu"' err.txt || fail "hand-over on Start + Select"
[ -s shots/shot-00000500.png ] && [ -s shots/shot-00001000.png ] || fail "screenshots"
cmp -s shots/shot-00000500.png shots/shot-00001000.png && fail "the square moved between the shots"

# A run that never presses Start + Select ends at its time.
GP2X_UNTIL=100 "$program" 2>err.txt || fail "run-end exit code"
grep -q 'run ended at 100 ms' err.txt || fail "run-end message"

if [ "$kind" = headless ]; then
  GP2X_HEADLESS=0 GP2X_UNTIL=200 "$program" 2>err.txt && fail "a window without SDL2"
  grep -q 'cannot open a window: this build has no SDL2' err.txt || fail "window refusal: $(cat err.txt)"
else
  SDL_VIDEODRIVER=dummy GP2X_HEADLESS=0 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_UNTIL=200 "$program" 2>err.txt ||
    fail "window run: $(cat err.txt)"
fi
# SIGTERM in the middle of a run (once its first picture shows it is running) asks it to
# quit: it leaves through its hand-over with exit code 0.
GP2X_SHOTS=term GP2X_SHOT_EVERY=100 "$program" 2>err.txt &
pid=$!
while [ ! -s term/shot-00000100.png ] && kill -0 $pid; do sleep 0.01; done
kill -TERM $pid
wait $pid || fail "SIGTERM: exit code $? ($(cat err.txt))"
grep -q 'SIGTERM: the program is asked to quit' err.txt && grep -q 'hands over to' err.txt ||
  fail "SIGTERM ends it through its hand-over: $(cat err.txt)"

"$program" --help > help.txt || fail "--help exits 0"
grep -q '^usage: testpattern' help.txt || fail "--help prints the usage"
"$program" --fast 2>/dev/null && fail "an unknown argument is refused"
echo "testpattern: all good"

#!/usr/bin/env bash
# play.sh's options become the host layer's settings; a bad option stops play.sh.
set -euo pipefail
script=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
fail() { echo "FAILED: $1" >&2; exit 1; }

got=$("$script" --headless --script s.txt --shots "my shots" --scale 2 --wav /tmp/o.wav --until 60000 --shot-at 5,10)
eval "$got"
[ "$GP2X_HEADLESS" = 1 ] || fail "headless"
[ "$GP2X_SCRIPT" = "$PWD/s.txt" ] || fail "script path made absolute: $GP2X_SCRIPT"
[ "$GP2X_SHOTS" = "$PWD/my shots" ] || fail "folder with a space: $GP2X_SHOTS"
[ "$GP2X_SCALE" = 2 ] && [ "$GP2X_WAV" = /tmp/o.wav ] && [ "$GP2X_UNTIL" = 60000 ] || fail "values"
[ "$GP2X_SHOT_AT" = 5,10 ] || fail "shot list"

eval "$("$script")"
[ "$GP2X_HEADLESS" = 0 ] || fail "a window by default"

for bad in "--bogus" "--script" "--until"; do
  # shellcheck disable=SC2086
  out=$("$script" $bad 2>err.txt)
  [ "$out" = "exit 2" ] || fail "$bad gives exit 2, got: $out"
  grep -q "play.sh:" err.txt || fail "$bad explains itself"
done
grep -q 'needs a value' err.txt || fail "missing value message"
(eval "$("$script" --nope 2>/dev/null)"; exit 0) && fail "eval of a bad option stops" || true
echo "play-options: all good"

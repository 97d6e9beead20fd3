#!/usr/bin/env bash
# play.sh's options become the host layer's settings; a bad option stops play.sh, and
# --help shows them, both before anything is built.
set -euo pipefail
script=$1
play=$2
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
# The host layer's messages name the option typed, not the variable behind it.
[ "$GP2X_OPTION_NAMES" = "GP2X_SCRIPT=--script GP2X_SHOTS=--shots GP2X_SCALE=--scale GP2X_WAV=--wav GP2X_UNTIL=--until GP2X_SHOT_AT=--shot-at" ] ||
  fail "option names: $GP2X_OPTION_NAMES"

unset GP2X_SCALE
eval "$("$script")"
[ "$GP2X_HEADLESS" = 0 ] || fail "a window by default"
[ -z "$GP2X_OPTION_NAMES" ] && [ -z "${GP2X_SCALE:-}" ] || fail "no options, no names"

for bad in "--bogus" "--script" "--until"; do
  # shellcheck disable=SC2086
  out=$("$script" $bad 2>err.txt)
  [ "$out" = "exit 2" ] || fail "$bad gives exit 2, got: $out"
  grep -q "play.sh:" err.txt || fail "$bad explains itself"
done
grep -q 'needs a value' err.txt || fail "missing value message"
(eval "$("$script" --nope 2>/dev/null)"; exit 0) && fail "eval of a bad option stops" || true

# play.sh itself: --help (with or without a game) and a bad option end before any install
# or build, which stand-ins on the PATH would notice.
mkdir bin
for tool in cmake apt-get dpkg-query sudo ninja; do
  printf '#!/bin/sh\ntouch %s/built\nexit 1\n' "$tmp" > "bin/$tool"
  chmod +x "bin/$tool"
done
for args in "--help" "pellax --help" "kolvo2 -h"; do
  # shellcheck disable=SC2086
  PATH="$tmp/bin:$PATH" "$play" $args > help.txt 2>err.txt || fail "./play.sh $args exits 0"
  grep -q -- '--scale N' help.txt && grep -q -- '--headless' help.txt || fail "./play.sh $args lists the options"
  [ ! -s err.txt ] || fail "./play.sh $args says nothing on stderr: $(cat err.txt)"
done
PATH="$tmp/bin:$PATH" "$play" pellax --scael 2 2>err.txt && fail "a bad option fails"
grep -q 'unknown option "--scael"' err.txt || fail "the bad option is named"
[ ! -e built ] || fail "nothing is installed or built for --help or a bad option"
echo "play-options: all good"

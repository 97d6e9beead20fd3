#!/usr/bin/env bash
# play.sh's options become the host layer's settings; a bad option or value stops play.sh,
# and --help shows them, both before anything is built. A headless run works in a folder of
# its own, laid afresh each time, and play.sh empties no folder it did not make.
# Arguments: host/play-options.sh, play.sh, the table of option values the host's settings
# test reads too.
set -euo pipefail
script=$1
play=$2
values=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
fail() { echo "FAILED: $1" >&2; exit 1; }
# The host's settings of whoever runs the test are none of its business.
for v in "${!GP2X_@}"; do unset "$v"; done

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

# Paths set in the environment count from the same folder as the options' paths; an option
# still wins, and an absolute path stays as it is.
unset GP2X_SCRIPT GP2X_SHOTS GP2X_WAV GP2X_OPTION_NAMES
got=$(GP2X_SCRIPT=host/s.txt GP2X_SHOTS="my shots" GP2X_WAV=/tmp/o.wav "$script" --headless)
eval "$got"
[ "$GP2X_SCRIPT" = "$PWD/host/s.txt" ] && [ "$GP2X_SHOTS" = "$PWD/my shots" ] ||
  fail "environment paths made absolute: $GP2X_SCRIPT, $GP2X_SHOTS"
! grep -q GP2X_WAV <<<"$got" || fail "an absolute path is left as it is: $got"
[ -z "$GP2X_OPTION_NAMES" ] || fail "no option set them: $GP2X_OPTION_NAMES"
got=$(GP2X_SCRIPT=env.txt "$script" --headless --script opt.txt)
[ "$(grep -c "^export GP2X_SCRIPT=" <<<"$got")" = 1 ] && grep -qx "export GP2X_SCRIPT=$PWD/opt.txt" <<<"$got" ||
  fail "the option wins: $got"

unset GP2X_SCALE GP2X_SCRIPT GP2X_SHOTS GP2X_WAV
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

# Every option's values: taken or refused as the host layer takes or refuses them, in its
# words, and a refused one stops play.sh with exit 2 before anything is built. (The
# variables the first checks exported would count as set.)
for v in "${!GP2X_@}"; do unset "$v"; done
rows=0
while read -r option variable value message; do
  case "$option" in ''|'#'*) continue ;; esac
  rows=$((rows + 1))
  out=$("$script" "$option" "$value" 2>err.txt)
  if [ "$message" = - ]; then
    grep -qx "export $variable=$value" <<<"$out" || fail "$option $value is taken: $out $(cat err.txt)"
    continue
  fi
  [ "$out" = "exit 2" ] || fail "$option $value is refused, got: $out"
  [ "$(head -n 1 err.txt)" = "play.sh: $message" ] || fail "$option $value: $(head -n 1 err.txt)"
  status=0
  PATH="$tmp/bin:$PATH" "$play" pellax "$option" "$value" 2>err.txt >/dev/null || status=$?
  [ "$status" = 2 ] && [ "$(head -n 1 err.txt)" = "play.sh: $message" ] ||
    fail "./play.sh $option $value: exit $status, $(head -n 1 err.txt)"
done < "$values"
[ "$rows" -gt 20 ] || fail "the table of values is read ($rows rows)"
[ ! -e built ] || fail "nothing is built for a bad value"

# play.sh's folders, in a copy of its part of the tree with a build that is there already:
# the stand-in game says where it runs and whether it found settings, then writes its own.
repo=$tmp/repo
source_tree=$(dirname "$play")
mkdir -p "$repo/host" "$repo/tools" "$repo/build-release/kolvo2/data/res" "$repo/run/kolvo2" stub
cp "$play" "$repo/play.sh"
cp "$script" "$repo/host/play-options.sh"
cp "$source_tree/tools/prepare-data.sh" "$repo/tools/"
echo 'install_deps() { :; }' > "$repo/tools/install-deps.sh"
echo pack > "$repo/build-release/kolvo2/data/res/gfx.zpk"
cat > "$repo/build-release/kolvo2/kolvo2" <<'GAME'
#!/bin/sh
echo "in $(pwd)"
if [ -e Kolvo2.cfg ]; then echo "settings $(cat Kolvo2.cfg)"; else echo "settings none"; fi
[ -e res/gfx.zpk ] || echo "no data"
echo "written by the run" > Kolvo2.cfg
GAME
chmod +x "$repo/build-release/kolvo2/kolvo2"
printf '#!/bin/sh
echo built >> %s/builds
' "$tmp" > stub/cmake
chmod +x stub/cmake
echo "the player's" > "$repo/run/kolvo2/Kolvo2.cfg"
playing() { PATH="$tmp/stub:$PATH" "$repo/play.sh" kolvo2 "$@" 2>err.txt; }
builds() { cat builds 2>/dev/null | wc -l; }

headless=$repo/run/kolvo2-headless
[ "$(playing --headless)" = "in $headless
settings none" ] || fail "a headless run starts from the defaults in its own folder"
touch "$headless/left-from-before"
[ "$(playing --headless)" = "in $headless
settings none" ] || fail "a second headless run starts afresh"
[ ! -e "$headless/left-from-before" ] || fail "the headless folder is emptied before a run"
[ "$(cat "$headless/Kolvo2.cfg")" = "written by the run" ] || fail "what the run wrote stays"
[ "$(cat "$repo/run/kolvo2/Kolvo2.cfg")" = "the player's" ] || fail "the player's settings are not touched"
[ "$(playing)" = "in $repo/run/kolvo2
settings the player's" ] || fail "a window runs in the player's folder"
echo "the player's" > "$repo/run/kolvo2/Kolvo2.cfg"
mkdir "$tmp/empty"
[ "$(playing --headless --dir "$tmp/empty")" = "in $tmp/empty
settings none" ] || fail "--dir takes an empty folder"
[ "$(playing --headless --dir "$tmp/empty")" = "in $tmp/empty
settings none" ] || fail "--dir takes a folder a headless run was made in"

# Folders play.sh must not empty: refused with exit 2 before the build, left as they were.
mkdir "$tmp/mine"
echo "keep me" > "$tmp/mine/notes.txt"
echo "100 a" > "$headless/s.txt"
before=$(builds)
while IFS='|' read -r args message; do
  status=0
  # shellcheck disable=SC2086
  playing $args >/dev/null || status=$?
  [ "$status" = 2 ] || fail "./play.sh kolvo2 $args: exit $status"
  grep -qF "play.sh: $message" err.txt || fail "./play.sh kolvo2 $args: $(cat err.txt)"
done <<CASES
--headless --dir $tmp/mine|$tmp/mine holds files and no headless run was made in it
--headless --dir $repo/run/kolvo2|$repo/run/kolvo2 is or holds the player's folder $repo/run/kolvo2
--headless --dir $tmp/mine/notes.txt|$tmp/mine/notes.txt is not a folder
--headless --script $headless/s.txt|the script $headless/s.txt lies in $headless
--dir $tmp/elsewhere|--dir names the folder of a headless run: add --headless
CASES
[ "$(builds)" = "$before" ] || fail "nothing is built for a folder refused"
[ "$(cat "$tmp/mine/notes.txt")" = "keep me" ] && [ "$(ls -A "$tmp/mine")" = notes.txt ] ||
  fail "a folder refused keeps what it held"
[ -e "$headless/s.txt" ] || fail "a script in the headless folder is kept"
[ "$(cat "$repo/run/kolvo2/Kolvo2.cfg")" = "the player's" ] || fail "the player's folder is kept"
# A player's folder, and any folder that holds one, is never a headless run's: not on a fresh
# checkout before a game was played, and not once a game in a window kept its record there.
rm -rf "$repo/run"
mkdir -p "$repo/build-release/pellax/game" "$repo/build-release/pellax/data"
cat > "$repo/build-release/pellax/game/pellax" <<'GAME'
#!/bin/sh
echo "scores of the run" > pellax.dat
GAME
chmod +x "$repo/build-release/pellax/game/pellax"
user() { (cd "$repo" && PATH="$tmp/stub:$PATH" ./play.sh "$@") >/dev/null 2>err.txt; }
refused() {  # GAME ARGS...: exit 2 before the build, naming the folder
  local status=0 before folder
  before=$(builds)
  user "$@" || status=$?
  folder=${*: -1}
  folder=$(cd "$repo" && realpath -m "$folder")
  [ "$status" = 2 ] && grep -qF "play.sh: $folder is or holds the player's folder" err.txt ||
    fail "./play.sh $*: exit $status, $(cat err.txt)"
  [ "$(builds)" = "$before" ] || fail "./play.sh $*: nothing is built"
}
refused kolvo2 --headless --dir run/kolvo2
[ ! -e "$repo/run/kolvo2" ] || fail "a refused folder is not made"
user kolvo2 || fail "a window run after a refused headless one: $(cat err.txt)"
user pellax || fail "pellax in a window: $(cat err.txt)"
for args in "kolvo2 --headless --dir run/kolvo2" "pellax --headless --dir run/pellax" \
            "pellax --headless --dir run" "kolvo2 --headless --dir run" "kolvo2 --headless --dir ." "pellax --headless --dir /"; do
  # shellcheck disable=SC2086
  refused $args
  [ "$(cat "$repo/run/kolvo2/Kolvo2.cfg")" = "written by the run" ] &&
    [ "$(cat "$repo/run/pellax/pellax.dat")" = "scores of the run" ] || fail "./play.sh $args: the records stand"
done
# A mark an earlier headless run left in a player's folder goes at the next game in a window.
echo "from before" > "$repo/run/kolvo2/.play-headless-run"
user kolvo2 || fail "a window run in a marked folder: $(cat err.txt)"
[ ! -e "$repo/run/kolvo2/.play-headless-run" ] || fail "a window run's folder keeps no headless mark"

echo "play-options: all good"

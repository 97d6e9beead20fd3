#!/usr/bin/env bash
# Turns play.sh options into the host layer's settings: prints "export GP2X_...=..." lines
# for play.sh to eval, with GP2X_OPTION_NAMES telling the host layer which option set which
# variable (so its messages name the option typed), and the lines "play_headless=0|1" and
# "play_dir=FOLDER" (empty unless --dir was given) for play.sh itself. Every value is
# checked here by the host layer's own rules and refused with its own message, so that a
# mistake stops play.sh before anything is built: on a bad option or value it explains on
# stderr and prints "exit 2"; for --help it prints code that shows the usage and exits 0,
# so the eval stops play.sh either way. Relative paths, given as options or in the
# environment's GP2X_SCRIPT, GP2X_SHOTS and GP2X_WAV, count from the folder this is run in
# (play.sh runs it in the repository's folder) and are passed on as absolute paths.
set -euo pipefail

usage() {
  cat <<'USAGE'
usage: ./play.sh kolvo2|pellax [options]
Installs what is missing, builds, prepares the game's data folder and starts the game.
A game in a window runs in run/GAME, the player's own folder, where it keeps its settings
and scores. A headless run works in a folder of its own, run/GAME-headless (or --dir),
which play.sh empties and fills with fresh data at every run, so that a script does the
same everywhere and never touches the player's folder; what the run wrote stays there.
options (every one is in host/README.md):
  --headless            no window: virtual time, scripted buttons, pictures as files
  --window              a window (the default)
  --dir DIR             headless: run in DIR instead of run/GAME-headless; DIR must be
                        new, empty, or a folder an earlier headless run was made in, and
                        neither a player's folder (run/kolvo2, run/pellax) nor one holding
                        one (play.sh refuses any other, as it empties the folder)
  --scale N             window: picture scale 1-8 (default: the largest that fits the display)
  --script FILE         headless button script
  --shots DIR           headless screenshots folder (every 1000 ms unless told otherwise)
  --shot-every MS       a screenshot every MS milliseconds
  --shot-at MS[,MS...]  screenshots at these times
  --until MS            end the run at this time
  --wav FILE            record the sound to a WAV file
  --audio sdl|wav|null  where the sound goes
  --clock virtual|real  which clock the run uses
  --battery full|N      battery reading
  --timer-start N       hardware timer count at the start
  --exec PROGRAM        run PROGRAM when the game hands over to another program
  -h, --help            this text
In a window: F11 or Alt+Return for full screen, F12 for a screenshot; closing the window
or Ctrl+C asks the game to quit.
USAGE
}

die() {
  echo "play.sh: $1" >&2
  usage >&2
  echo "exit 2"
  exit 0
}
abs() { realpath -m -- "$1"; }

# The host layer's number: decimal digits (a leading 0 is no octal prefix) or hexadecimal
# after "0x", from MIN to MAX. Sets `number`; false for anything else.
number=0
whole() {  # TEXT MIN MAX
  local text=$1 digits prefix=10#
  if [[ $text =~ ^0[xX]([0-9a-fA-F]+)$ ]]; then
    digits=${BASH_REMATCH[1]} prefix=16#
  elif [[ $text =~ ^[0-9]+$ ]]; then
    digits=$text
  else
    return 1
  fi
  while [ ${#digits} -gt 1 ] && [ "${digits:0:1}" = 0 ]; do digits=${digits:1}; done
  # Past 15 digits a value is beyond every limit here, and beyond the shell's arithmetic.
  [ ${#digits} -le 15 ] || return 1
  number=$(("$prefix$digits"))
  [ "$number" -ge "$2" ] && [ "$number" -le "$3" ]
}

# The host layer's message for a bad value; the option names the setting.
bad() {  # OPTION VALUE EXPECTED
  die "$1 \"$2\": expected $3"
}

# Option values by variable, and the options in the order first given.
declare -A value=() option=()
order=()
set_option() {  # VARIABLE OPTION VALUE
  [ -n "${option[$1]:-}" ] || order+=("$1")
  option[$1]=$2
  value[$1]=$3
}
# What the host layer will see: the option's value, else the variable already set.
effective() { if [ -n "${option[$1]:-}" ]; then printf '%s' "${value[$1]}"; else printf '%s' "${!1:-}"; fi; }
# How the host layer names the variable: by its option when one set it.
shown() { printf '%s' "${option[$1]:-$1}"; }

headless=0
dir=""
while [ $# -gt 0 ]; do
  opt=$1
  shift
  case "$opt" in
    --headless) headless=1; continue ;;
    --window) headless=0; continue ;;
    -h|--help) printf 'printf "%%s\\n" %q\nexit 0\n' "$(usage)"; exit 0 ;;
    --dir|--scale|--script|--shots|--shot-every|--shot-at|--until|--wav|--audio|--clock|--battery|--timer-start|--exec)
      [ $# -gt 0 ] && [ -n "$1" ] || die "option $opt needs a value"
      val=$1
      shift ;;
    *) die "unknown option \"$opt\"" ;;
  esac
  case "$opt" in
    --dir) dir=$(abs "$val") ;;
    --scale) set_option GP2X_SCALE "$opt" "$val" ;;
    --script) set_option GP2X_SCRIPT "$opt" "$(abs "$val")" ;;
    --shots) set_option GP2X_SHOTS "$opt" "$(abs "$val")" ;;
    --shot-every) set_option GP2X_SHOT_EVERY "$opt" "$val" ;;
    --shot-at) set_option GP2X_SHOT_AT "$opt" "$val" ;;
    --until) set_option GP2X_UNTIL "$opt" "$val" ;;
    --wav) set_option GP2X_WAV "$opt" "$(abs "$val")" ;;
    --audio) set_option GP2X_AUDIO "$opt" "$val" ;;
    --clock) set_option GP2X_CLOCK "$opt" "$val" ;;
    --battery) set_option GP2X_BATTERY "$opt" "$val" ;;
    --timer-start) set_option GP2X_TIMER_START "$opt" "$val" ;;
    --exec) set_option GP2X_EXEC "$opt" "$val" ;;
  esac
done

# The values, in the order the host layer reads them, so that the first mistake named is
# the one it would name.
uint32_max=4294967295
check() {  # VARIABLE: true when no option set it
  [ -n "${option[$1]:-}" ] || return 0
  local o=${option[$1]} v=${value[$1]}
  case "$1" in
    GP2X_CLOCK) [ "$v" = virtual ] || [ "$v" = real ] || bad "$o" "$v" "virtual or real" ;;
    GP2X_SCALE) whole "$v" 1 8 || bad "$o" "$v" "a whole number from 1 to 8" ;;
    GP2X_TIMER_START) whole "$v" 0 $uint32_max || bad "$o" "$v" "a count from 0 to $uint32_max" ;;
    GP2X_BATTERY) [ "$v" = full ] || whole "$v" 0 65535 || bad "$o" "$v" "full or a number from 0 to 65535" ;;
    GP2X_AUDIO) [ "$v" = sdl ] || [ "$v" = wav ] || [ "$v" = null ] || bad "$o" "$v" "sdl, wav or null" ;;
    GP2X_SHOT_AT)
      local rest=$v,
      while [ -n "$rest" ]; do
        whole "${rest%%,*}" 0 $uint32_max ||
          bad "$o" "$v" "times in milliseconds from 0 to $uint32_max, separated by commas"
        rest=${rest#*,}
      done ;;
    GP2X_SHOT_EVERY) whole "$v" 0 $uint32_max || bad "$o" "$v" "milliseconds from 0 to $uint32_max" ;;
    # The host keeps the end of a run in nanoseconds, in 64 bits.
    GP2X_UNTIL) whole "$v" 0 9223372036854 || bad "$o" "$v" "a time in milliseconds from 0 to 9223372036854" ;;
  esac
}
check GP2X_CLOCK
check GP2X_SCALE
check GP2X_TIMER_START
check GP2X_BATTERY
check GP2X_AUDIO
if [ -n "${option[GP2X_AUDIO]:-}${option[GP2X_WAV]:-}" ] && [ "$(effective GP2X_AUDIO)" = wav ] &&
   [ -z "$(effective GP2X_WAV)" ]; then
  die "$(shown GP2X_AUDIO) wav needs $(shown GP2X_WAV), the file to record to"
fi
check GP2X_SHOT_AT
check GP2X_SHOT_EVERY
if [ -n "${option[GP2X_SHOT_AT]:-}${option[GP2X_SHOT_EVERY]:-}${option[GP2X_SHOTS]:-}" ] &&
   [ -z "$(effective GP2X_SHOTS)" ]; then
  every=$(effective GP2X_SHOT_EVERY)
  if [ -n "$(effective GP2X_SHOT_AT)" ] || { [ -n "$every" ] && ! { whole "$every" 0 0; }; }; then
    die "$(shown GP2X_SHOT_AT) and $(shown GP2X_SHOT_EVERY) need $(shown GP2X_SHOTS), the folder for the pictures"
  fi
fi
check GP2X_UNTIL
if [ -n "$dir" ] && [ "$headless" = 0 ]; then
  die "--dir names the folder of a headless run: add --headless"
fi

# A path set in the environment counts from the same folder as one given as an option: the
# game runs in a folder of its own, where a relative one would be looked for.
for variable in GP2X_SCRIPT GP2X_SHOTS GP2X_WAV; do
  [ -z "${option[$variable]:-}" ] || continue
  case "${!variable:-}" in
    ''|/*) ;;
    *) printf 'export %s=%q\n' "$variable" "$(abs "${!variable}")" ;;
  esac
done

names=()
for variable in "${order[@]}"; do
  printf 'export %s=%q\n' "$variable" "${value[$variable]}"
  names+=("$variable=${option[$variable]}")
done
printf 'export GP2X_HEADLESS=%s\nexport GP2X_OPTION_NAMES=%q\nplay_headless=%s\nplay_dir=%q\n' \
  "$headless" "${names[*]:-}" "$headless" "$dir"

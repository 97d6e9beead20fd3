#!/usr/bin/env bash
# Turns play.sh options into the host layer's settings: prints "export GP2X_...=..." lines
# for play.sh to eval, with GP2X_OPTION_NAMES telling the host layer which option set which
# variable (so its messages name the option typed). On a bad option it explains on stderr
# and prints "exit 2"; for --help it prints code that shows the usage and exits 0, so the
# eval stops play.sh either way. Relative paths count from the folder this is run in
# (play.sh runs it in the repository's folder) and are passed on as absolute paths.
set -euo pipefail

usage() {
  cat <<'USAGE'
usage: ./play.sh kolvo2|pellax [options]
Installs what is missing, builds, prepares the game's data folder and starts the game.
options (every one is in host/README.md):
  --headless            no window: virtual time, scripted buttons, pictures as files
  --window              a window (the default)
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

out=()
names=()
emit() { out+=("$(printf 'export %s=%q' "$1" "$2")"); }
# A variable set from an option, remembered for the host layer's messages.
emit_option() {
  emit "$1" "$3"
  names+=("$1=$2")
}
die() {
  echo "play.sh: $1" >&2
  usage >&2
  echo "exit 2"
  exit 0
}
abs() { realpath -m -- "$1"; }

headless=0
while [ $# -gt 0 ]; do
  opt=$1
  shift
  case "$opt" in
    --headless) headless=1; continue ;;
    --window) headless=0; continue ;;
    -h|--help) printf 'printf "%%s\\n" %q\nexit 0\n' "$(usage)"; exit 0 ;;
    --scale|--script|--shots|--shot-every|--shot-at|--until|--wav|--audio|--clock|--battery|--timer-start|--exec)
      [ $# -gt 0 ] && [ -n "$1" ] || die "option $opt needs a value"
      val=$1
      shift ;;
    *) die "unknown option \"$opt\"" ;;
  esac
  case "$opt" in
    --scale) emit_option GP2X_SCALE "$opt" "$val" ;;
    --script) emit_option GP2X_SCRIPT "$opt" "$(abs "$val")" ;;
    --shots) emit_option GP2X_SHOTS "$opt" "$(abs "$val")" ;;
    --shot-every) emit_option GP2X_SHOT_EVERY "$opt" "$val" ;;
    --shot-at) emit_option GP2X_SHOT_AT "$opt" "$val" ;;
    --until) emit_option GP2X_UNTIL "$opt" "$val" ;;
    --wav) emit_option GP2X_WAV "$opt" "$(abs "$val")" ;;
    --audio) emit_option GP2X_AUDIO "$opt" "$val" ;;
    --clock) emit_option GP2X_CLOCK "$opt" "$val" ;;
    --battery) emit_option GP2X_BATTERY "$opt" "$val" ;;
    --timer-start) emit_option GP2X_TIMER_START "$opt" "$val" ;;
    --exec) emit_option GP2X_EXEC "$opt" "$val" ;;
  esac
done
emit GP2X_HEADLESS "$headless"
emit GP2X_OPTION_NAMES "${names[*]:-}"
printf '%s\n' "${out[@]}"

#!/usr/bin/env bash
# Turns play.sh options into the host layer's settings: prints "export GP2X_...=..." lines
# for play.sh to eval. On a bad option it explains on stderr and prints "exit 2", so the
# eval stops play.sh. Relative paths count from the folder this is run in (play.sh runs it
# in the repository's folder) and are passed on as absolute paths.
set -euo pipefail

usage() {
  cat >&2 <<'USAGE'
options (see host/README.md):
  --headless            no window: virtual time, scripted buttons, pictures as files
  --window              a window (the default)
  --scale N             window: picture scale 1-8 (default 3)
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
USAGE
}

out=()
emit() { out+=("$(printf 'export %s=%q' "$1" "$2")"); }
die() {
  echo "play.sh: $1" >&2
  usage
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
    -h|--help) usage; echo "exit 0"; exit 0 ;;
    --scale|--script|--shots|--shot-every|--shot-at|--until|--wav|--audio|--clock|--battery|--timer-start|--exec)
      [ $# -gt 0 ] && [ -n "$1" ] || die "option $opt needs a value"
      val=$1
      shift ;;
    *) die "unknown option \"$opt\"" ;;
  esac
  case "$opt" in
    --scale) emit GP2X_SCALE "$val" ;;
    --script) emit GP2X_SCRIPT "$(abs "$val")" ;;
    --shots) emit GP2X_SHOTS "$(abs "$val")" ;;
    --shot-every) emit GP2X_SHOT_EVERY "$val" ;;
    --shot-at) emit GP2X_SHOT_AT "$val" ;;
    --until) emit GP2X_UNTIL "$val" ;;
    --wav) emit GP2X_WAV "$(abs "$val")" ;;
    --audio) emit GP2X_AUDIO "$val" ;;
    --clock) emit GP2X_CLOCK "$val" ;;
    --battery) emit GP2X_BATTERY "$val" ;;
    --timer-start) emit GP2X_TIMER_START "$val" ;;
    --exec) emit GP2X_EXEC "$val" ;;
  esac
done
emit GP2X_HEADLESS "$headless"
printf '%s\n' "${out[@]}"

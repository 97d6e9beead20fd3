#!/usr/bin/env bash
# bench/arm_frame_costs.sh BUILD_ARM [JOBS]: the frame costs of both games' scripts counted
# in ARM instructions (bench/frame_cost.sh --arm) on the cross build in BUILD_ARM, several
# runs at a time, one line each:
#   ARM frame cost: SCRIPT mean N % worst M % of BUDGET
# What the console's main core does per frame, its sound thread included: pellax's frame
# and its audio thread, over its title, a flight (bench/scripts) and its heaviest waves
# (pellax_wave 25, 27 and 31); kolvo2's whole framework frame and its sound writer, over the
# frames of its intro, title and play screens (bench/kolvo2). Each run's whole report, with
# its top functions and what each thread adds, is kept in BUILD_ARM/frame-costs/SCRIPT.txt.
set -euo pipefail
[ $# -ge 1 ] || { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath -- "$1") jobs=${2:-4}
out=$build/frame-costs
rm -rf "$out"
mkdir -p "$out"
pellax=(--frame pellax_frame --pace "pace_frame,wait_vsync" --thread audio_thread_main --data "$build/pellax/data")
kolvo2=(--frame ClassZolt::MainLoop --thread qssGP2X::writer --data "$build/kolvo2/data")
# name, program, script, budget, options
runs=(
  "pellax-title|$build/pellax/game/pellax|$here/scripts/pellax_title.txt|6000000|${pellax[*]}"
  "pellax-flight|$build/pellax/game/pellax|$here/scripts/pellax_play.txt|6000000|${pellax[*]}"
  "pellax-wave25|$build/bench/pellax_wave 25|$here/scripts/pellax_wave.txt|6000000|${pellax[*]}"
  "pellax-wave27|$build/bench/pellax_wave 27|$here/scripts/pellax_wave.txt|6000000|${pellax[*]}"
  "pellax-wave31|$build/bench/pellax_wave 31|$here/scripts/pellax_wave.txt|6000000|${pellax[*]}"
  "kolvo2-intro|$build/kolvo2/kolvo2|$here/kolvo2/intro.txt|3333333|--screen ClassMain::WManageIntro ${kolvo2[*]}"
  "kolvo2-title|$build/kolvo2/kolvo2|$here/kolvo2/title.txt|3333333|--screen ClassMain::WManageTitle ${kolvo2[*]}"
  "kolvo2-play|$build/kolvo2/kolvo2|$here/kolvo2/play.txt|3333333|--screen ClassMain::WManageLevel ${kolvo2[*]}"
)
running=0
for run in "${runs[@]}"; do
  IFS='|' read -r name program script budget options <<<"$run"
  read -r -a prog <<<"$program"
  read -r -a opts <<<"$options"
  # shellcheck disable=SC2086
  ("$here/frame_cost.sh" "${prog[0]}" "$script" "$budget" --arm "${opts[@]}" \
     ${prog[1]:+--arg "${prog[1]}"} > "$out/$name.txt" 2>&1 || echo "failed" >> "$out/$name.txt") &
  running=$((running + 1))
  if [ $running -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
status=0
for run in "${runs[@]}"; do
  IFS='|' read -r name _ _ budget _ <<<"$run"
  line=$(grep '^summary ' "$out/$name.txt" || true)
  if [ -z "$line" ]; then
    echo "ARM frame cost: $name did not run ($out/$name.txt):" >&2
    tail -5 "$out/$name.txt" >&2
    status=1
    continue
  fi
  read -r _ _ mean _ _ worst _ _ _ <<<"$line"
  echo "ARM frame cost: $name mean $mean % worst $worst % of $budget"
done
exit $status

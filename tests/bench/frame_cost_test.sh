#!/usr/bin/env bash
# tests/bench/frame_cost_test.sh MODE FIXTURE: bench/frame_cost.sh's accounting checked on
# frame_cost_fixture, whose every frame costs a known number of instructions, on the main
# thread and on a worker thread that runs inside the frame's interval. MODE is arm (the
# fixture is the cross build's, counted under qemu-arm by our plugin) or callgrind (this
# machine's build, counted by callgrind).
set -euo pipefail
mode=$1 fixture=$2
here=$(cd "$(dirname "$0")" && pwd)
frame_cost=$here/../../bench/frame_cost.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "0 none" > "$work/script.txt"

# The fixture's amounts, in steps of two instructions: 12 frames of 50,000 steps on the main
# thread and 10,000 on the worker; frame 4 has 30,000 more on the main thread, frame 7
# 60,000 more on the worker; the worker spends 40,000 before the first frame; a bystander
# thread 300,000, under no function named.
amounts=(12 50000 10000 40000 4 30000 7 60000 300000)
args=()
for a in "${amounts[@]}"; do args+=(--arg "$a"); done
common=(--frame fixture_frame --pace "fixture_pace,fixture_wait" --thread fixture_worker "${args[@]}")
[ "$mode" = arm ] && common+=(--arm)

failures=0
# The number after a line's label, without its thousands' commas.
figure() { # report label
  local line
  line=$(grep -m1 -F -- "$2" "$1" || true)
  line=${line#*"$2"}
  line=${line//,/}
  [[ $line =~ ([0-9]+) ]] && echo "${BASH_REMATCH[1]}" || echo missing
}
# A count is the fixture's work plus the few instructions of the calls and hand-overs around
# it: at least the work, and within 1 % above it.
expect() { # case what got want
  local got=$3 want=$4
  if [ "$got" = missing ] || [ "$got" -lt "$want" ] || [ $((got * 100)) -gt $((want * 101)) ]; then
    echo "FAIL $1: $2 is $got, expected $want (up to 1 % more)" >&2
    failures=$((failures + 1))
  fi
}
exact() { # case what got want
  if [ "$3" != "$4" ]; then
    echo "FAIL $1: $2 is $3, expected $4" >&2
    failures=$((failures + 1))
  fi
}

run() { # case options...
  local name=$1
  shift
  if ! "$frame_cost" "$fixture" "$work/script.txt" 1000000 "${common[@]}" "$@" > "$work/$name.txt" 2>&1; then
    echo "FAIL $name: frame_cost.sh failed:" >&2
    cat "$work/$name.txt" >&2
    failures=$((failures + 1))
    return 1
  fi
}

if [ "$mode" = arm ]; then
  # case | options | frames | mean: whole, main, worker | worst: whole, index, main, worker
  # Every frame: 100,000 + 20,000 instructions, frame 4 60,000 more on the main thread,
  # frame 7 120,000 more on the worker, which makes it the worst. Only the even frames (those
  # that call the screen function): frame 4 is the worst.
  cases=(
    "all||12|135000|105000|30000|240000|7|100000|140000"
    "screen|--screen fixture_screen|6|130000|110000|20000|180000|4|160000|20000"
  )
  for c in "${cases[@]}"; do
    IFS='|' read -r name options frames mean main worker worst worst_frame worst_main worst_worker <<<"$c"
    read -r -a opts <<<"$options"
    run "$name" "${opts[@]}" || continue
    report=$work/$name.txt
    exact "$name" frames "$(figure "$report" "frames ")" "$frames"
    expect "$name" "mean frame" "$(figure "$report" "per frame ")" "$mean"
    expect "$name" "worst frame" "$(figure "$report" "worst frame ")" "$worst"
    exact "$name" "worst frame's index" "$(figure "$report" "% (frame ")" "$worst_frame"
    sed -n '/^worst frame /,/^left out/p' "$report" > "$work/worst.txt"
    expect "$name" "main thread in the worst frame" "$(figure "$work/worst.txt" "  main thread ")" "$worst_main"
    expect "$name" "worker in the worst frame" "$(figure "$work/worst.txt" "  thread fixture_worker ")" "$worst_worker"
    expect "$name" "main thread's share" "$(figure "$report" "  main thread (fixture_frame) ")" "$main"
    expect "$name" "worker's share" "$(figure "$report" "  thread fixture_worker ")" "$worker"
    # The worker's work before the first frame is apart, and the bystander in no figure.
    expect "$name" "worker outside the frames" "$(figure "$report" "not in the figure: ")" 80000
  done
else
  # callgrind keeps no time: the worker's whole run, its 80,000 before the frames included,
  # is shared over the 12 frames (12 x 20,000 + 120,000 + 80,000).
  if run callgrind; then
    report=$work/callgrind.txt
    exact callgrind frames "$(figure "$report" "frames ")" 12
    expect callgrind "main thread's share" "$(figure "$report" "  main thread (fixture_frame) ")" 105000
    expect callgrind "mean frame" "$(figure "$report" "per frame ")" 141667
  fi
fi

# A thread function the program lacks would count nothing without a word.
if "$frame_cost" "$fixture" "$work/script.txt" 1000000 "${common[@]}" --thread fixture_wroker \
     > "$work/misspelt.txt" 2>&1 || ! grep -q "fixture_wroker" "$work/misspelt.txt"; then
  echo "FAIL misspelt: a missing thread function was not refused:" >&2
  cat "$work/misspelt.txt" >&2
  failures=$((failures + 1))
fi

[ $failures -eq 0 ] && echo "frame_cost accounting ($mode): all checks passed"
exit $((failures > 0))

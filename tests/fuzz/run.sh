#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer (ASan + UBSan) and runs each for SECONDS
# (default 60), starting from its committed corpus. For each target it prints the runs,
# the coverage libFuzzer reached (edges and features) and any fault; a fault's input is
# kept under build-fuzz/crashes/TARGET/ (copy it into tests/fuzz/reproducers/TARGET/ with
# the fix, so every test build replays it).
#
#   tests/fuzz/run.sh [SECONDS] [--merge] [--jobs N] [TARGET...]
#   tests/fuzz/run.sh --lines
#
# --merge adds the inputs that reached new coverage to the committed corpus (minimised);
# --jobs runs N targets at a time; TARGETs pick some (default: all). --lines fuzzes
# nothing: it shows how many lines of each parser the committed corpus reaches. Installs
# clang when it is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=60
merge=0
lines=0
jobs=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --merge) merge=1 ;;
    --lines) lines=1 ;;
    --jobs) jobs=$2; shift ;;
    [0-9]*) seconds=$1 ;;
    -*) echo "usage: tests/fuzz/run.sh [SECONDS] [--merge] [--jobs N] [TARGET...]" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
if ! command -v clang++ >/dev/null; then
  echo "Installing clang for libFuzzer"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang
fi

if [ $lines -eq 1 ]; then
  cov="-fprofile-instr-generate -fcoverage-mapping"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz-lines -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DGP2X_BENCH=OFF -DCMAKE_C_FLAGS="$cov" -DCMAKE_CXX_FLAGS="$cov" >/dev/null
  cmake --build build-fuzz-lines -j4 --target test_fuzz_replay
  rm -f build-fuzz-lines/replay.profraw
  LLVM_PROFILE_FILE=build-fuzz-lines/replay.profraw build-fuzz-lines/tests/fuzz/test_fuzz_replay \
    >/dev/null
  llvm-profdata merge -o build-fuzz-lines/replay.profdata build-fuzz-lines/replay.profraw
  llvm-cov report build-fuzz-lines/tests/fuzz/test_fuzz_replay \
    -instr-profile=build-fuzz-lines/replay.profdata \
    engine/graphics/zldr_png.cpp engine/graphics/zldr_bmp.cpp engine/graphics/zldr_3ds.cpp \
    engine/graphics/zldr_base.cpp engine/core/zmod_pack.cpp engine/core/zmod_memory_codec.cpp \
    engine/core/zmod_ini.cpp sound/qssData.cpp sound/qssMsAdpcm.cpp sound/qssTracker.cpp \
    engine/net/znet_frame.cpp engine/net/znet_stack.cpp engine/net/zhttp_stack.cpp \
    engine/net/zhttp_codec.cpp engine/net/zhttp_request.cpp \
    pellax/audio940/service.cpp pellax/audio940/ogg_mem.cpp pellax/audio940/arena.cpp \
    pellax/audio940/mixer.cpp
  exit 0
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGP2X_FUZZ=ON -DGP2X_SANITIZE=ON -DGP2X_BENCH=OFF >/dev/null
[ ${#targets[@]} -eq 0 ] && read -r -a targets <<< "$(tr ';' ' ' < build-fuzz/fuzz_targets.txt)"
cmake --build build-fuzz -j4 --target "${targets[@]/#/fuzz_}"

# Inputs big enough for a module with its patterns, small elsewhere.
max_len() { case "$1" in mod|music) echo 16384 ;; png|bmp|3ds|pack|wav|adpcm) echo 8192 ;; *) echo 4096 ;; esac; }

fuzz_one() {
  set +e +o pipefail  # a target that finds nothing to grep for is no failure
  local t=$1 work=build-fuzz/fuzz-corpus/$1 crashes=build-fuzz/crashes/$1
  local corpus=tests/fuzz/corpus/$1
  mkdir -p "$work" "$crashes"
  local log
  log=$(build-fuzz/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
          -timeout=10 -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$corpus" 2>&1 || true)
  local runs done_line faults
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' <<< "$log")
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' <<< "$log" | tail -1 | sed -E 's/.*(cov: [0-9]+ ft: [0-9]+).*/\1/')
  faults=$(grep -cE '^==[0-9]+==ERROR|check failed|runtime error|ALARM: working on the last Unit|SUMMARY' <<< "$log" || true)
  printf '%-16s %10s runs  %-24s %s\n' "$t" "${runs:-?}" "${done_line:-}" \
    "$([ "${faults:-0}" -gt 0 ] && echo "FAULT: see $crashes and below" || echo "no fault")"
  if [ "${faults:-0}" -gt 0 ]; then
    grep -E 'ERROR|check failed|runtime error|SUMMARY|Test unit written' <<< "$log" | head -8
  fi
  if [ $merge -eq 1 ]; then
    build-fuzz/tests/fuzz/fuzz_"$t" -merge=1 -max_len="$(max_len "$t")" "$corpus" "$work" >/dev/null 2>&1
  fi
}

echo "== ${#targets[@]} targets, ${seconds}s each, $jobs at a time"
running=0
for t in "${targets[@]}"; do
  fuzz_one "$t" &
  running=$((running + 1))
  if [ $running -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

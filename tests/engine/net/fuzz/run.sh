#!/usr/bin/env bash
# Builds the network fuzz targets with clang's libFuzzer (ASan + UBSan) and runs each for a
# while. Usage: tests/engine/net/fuzz/run.sh [seconds per target] [--merge]
# --merge adds the inputs that found new coverage to the committed corpus (minimised).
set -euo pipefail
cd "$(dirname "$0")/../../../.."
seconds=${1:-60}
merge=0
[ "${2:-}" = "--merge" ] && merge=1

if ! command -v clang++ >/dev/null; then
  echo "Installing clang for libFuzzer"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZOLT_NET_FUZZ=ON -DGP2X_SANITIZE=ON -DGP2X_BENCH=OFF >/dev/null
targets=(frame_receiver frame_roundtrip http_stack url_codecs request_builder)
cmake --build build-fuzz -j4 --target "${targets[@]/#/fuzz_net_}"

corpus=tests/engine/net/corpus
for t in "${targets[@]}"; do
  work=build-fuzz/fuzz-corpus/$t
  mkdir -p "$work"
  echo "== $t: ${seconds}s"
  build-fuzz/tests/engine/net/fuzz_net_$t -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 "$work" "$corpus/$t" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|crash-" || true
  if [ $merge -eq 1 ]; then
    build-fuzz/tests/engine/net/fuzz_net_$t -merge=1 "$corpus/$t" "$work" >/dev/null 2>&1
  fi
done

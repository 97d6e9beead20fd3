#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest; then does the same
# under AddressSanitizer + UndefinedBehaviorSanitizer unless --quick is given. --arm builds
# for the console's CPU and runs the tests under an emulator instead (tools/arm-check.sh).
set -euo pipefail
cd "$(dirname "$0")"
. tools/install-deps.sh
install_deps

quick=0
for a in "$@"; do
  case "$a" in
    --quick) quick=1 ;;
    --arm) exec tools/arm-check.sh ;;
    *) echo "usage: ./test.sh [--quick | --arm]" >&2; exit 2 ;;
  esac
done

echo "== includes follow the layers (tools/layers.txt) =="
tools/check-layers.sh

jobs=$(nproc)
run_suite() {  # folder, target, extra cmake flags...
  local dir=$1 target=$2; shift 2
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target "$target"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

if [ $quick -eq 0 ]; then
  echo "== sanitizer build (build-asan) =="
  run_suite build-asan all -DCMAKE_BUILD_TYPE=Debug -DGP2X_SANITIZE=ON -DGP2X_BENCH=OFF
  # CMake's threaded_tests target names the programs marked THREADS (project_add_test);
  # this build configures only those as tests.
  echo "== threaded tests under ThreadSanitizer (build-tsan) =="
  run_suite build-tsan threaded_tests -DCMAKE_BUILD_TYPE=Debug -DGP2X_TSAN=ON -DGP2X_BENCH=OFF
fi
echo "== build =="
run_suite build all -DCMAKE_BUILD_TYPE=RelWithDebInfo

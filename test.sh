#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest; unless --quick is given,
# first does the same under AddressSanitizer + UndefinedBehaviorSanitizer and the threaded
# tests under ThreadSanitizer, and builds everything in Release as a packager would, with
# no test run, for the warnings only the optimiser's inlining shows. --arm builds for the
# console's CPU and runs the tests under an emulator instead (tools/arm-check.sh). A compiler
# warning fails a build. Each build prints its summary and what failed; its whole output is
# in FOLDER/build.log and FOLDER/ctest.log. The end lists each test that failed, ran out of
# time or passed only on its second run.
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
# Each build's tests that failed, ran out of time or needed a second run, listed again at
# the end, where a retried test that passed would otherwise go unseen.
test_summaries=""
trap '[ -z "$test_summaries" ] || printf "== tests that failed, ran out of time or needed a second run ==\n%s" "$test_summaries"' EXIT

# Each build's whole output goes to build.log and ctest.log in its folder; the terminal gets
# the summary of each, and in full only what failed. A compiler warning fails the build.
build_suite() {  # folder, target, extra cmake flags...
  local dir=$1 target=$2; shift 2
  mkdir -p "$dir"
  if ! { cmake -S . -B "$dir" -G Ninja -DGP2X_WERROR=ON "$@" &&
         cmake --build "$dir" -j "$jobs" --target "$target"; } >"$dir/build.log" 2>&1; then
    grep -v '^\[[0-9]*/[0-9]*\] ' "$dir/build.log" | tail -n 300
    echo "the build in $dir failed; its whole output: $dir/build.log"
    return 1
  fi
  echo "built $target in $dir"
}

run_suite() {  # folder, target, extra cmake flags...
  local dir=$1
  build_suite "$@" || return 1
  local status=0
  # A few tests compare whole runs of the threaded sound path; on a machine starved by other
  # work a run can lose its thread's turn, so a failed test gets one more run.
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 --repeat until-pass:2) >"$dir/ctest.log" 2>&1 || status=$?
  # A failed test's line and its output (a second run's too), up to the next test's line.
  awk '/^ +Start +[0-9]+: / { show = 0; next }
       /^ *([0-9]+\/[0-9]+ +)?Test +#[0-9]+: / { show = /\*\*\*/ && !/\*\*\*Skipped/ }
       /^[0-9]+% tests passed/ { show = 0 }
       show' "$dir/ctest.log"
  sed -n '/^[0-9]*% tests passed/,$p' "$dir/ctest.log"
  local summary
  summary=$(tools/ctest-summary.sh "$dir/ctest.log")
  if [ -n "$summary" ]; then
    echo "$summary"
    test_summaries+=$(sed "s|^|$dir: |" <<<"$summary")$'\n'
  fi
  [ $status -eq 0 ] || echo "every test's output: $dir/ctest.log"
  return $status
}

if [ $quick -eq 0 ]; then
  echo "== sanitizer build (build-asan) =="
  run_suite build-asan all -DCMAKE_BUILD_TYPE=Debug -DGP2X_SANITIZE=ON -DGP2X_BENCH=OFF
  # CMake's threaded_tests target names the programs marked THREADS (project_add_test);
  # this build configures only those as tests.
  echo "== threaded tests under ThreadSanitizer (build-tsan) =="
  run_suite build-tsan threaded_tests -DCMAKE_BUILD_TYPE=Debug -DGP2X_TSAN=ON -DGP2X_BENCH=OFF
  # Inlined deeper than the other builds, a Release build warns where they do not (a write
  # the optimiser sees past an empty vector's end); built only, its code is the plain
  # build's at another level of optimisation.
  echo "== Release build of everything, for its warnings (build-rel) =="
  build_suite build-rel all -DCMAKE_BUILD_TYPE=Release
fi
echo "== build =="
run_suite build all -DCMAKE_BUILD_TYPE=RelWithDebInfo

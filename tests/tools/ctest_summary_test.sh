#!/usr/bin/env bash
# tools/ctest-summary.sh on the log of a real ctest run, made the way test.sh and
# tools/arm-check.sh run their tests: a test that passes only on its second run, one that
# fails both runs, one that crashes, one that runs out of time, one skipped and one that
# passes, each named under its own kind and no other. Arguments: the summary script, cmake,
# ctest.
set -euo pipefail
summary=$1
cmake=$2
ctest=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $1" >&2; exit 1; }

mkdir "$tmp/src"
cat > "$tmp/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(summary_fixture NONE)
enable_testing()
add_test(NAME passes_second COMMAND sh -c "[ -e first_run ] || { touch first_run; echo once; exit 1; }")
add_test(NAME passes COMMAND true)
add_test(NAME fails COMMAND sh -c "echo always; exit 3")
add_test(NAME crashes COMMAND sh -c "kill -SEGV $$")
add_test(NAME too_slow COMMAND sleep 30)
set_tests_properties(too_slow PROPERTIES TIMEOUT 1)
add_test(NAME skipped COMMAND sh -c "exit 77")
set_tests_properties(skipped PROPERTIES SKIP_RETURN_CODE 77)
EOF
"$cmake" -S "$tmp/src" -B "$tmp/build" >/dev/null
(cd "$tmp/build" && "$ctest" --output-on-failure -j 4 --repeat until-pass:2) >"$tmp/ctest.log" 2>&1 &&
  fail "the fixture's run fails"

got=$("$summary" "$tmp/ctest.log")
# Names in the order ctest first reports them, which -j leaves open: compare them sorted.
sorted() { while read -r kind; do
  head=${kind%%:*}
  echo "$head:$(tr ' ' '\n' <<<"${kind#*:}" | sort | tr '\n' ' ' | sed 's/ $//')"
done; }
expected="failed: crashes fails
timed out: too_slow
needed a second run: passes_second"
[ "$(sorted <<<"$got")" = "$(sorted <<<"$expected")" ] ||
  fail "the summary of the fixture's run is
$got
not
$expected
(the log: $(cat "$tmp/ctest.log"))"

# A run where every test passed at once says nothing.
printf '1/1 Test #1: passes ......   Passed    0.01 sec\n\n100%% tests passed, 0 tests failed out of 1\n' >"$tmp/clean.log"
[ -z "$("$summary" "$tmp/clean.log")" ] || fail "a clean run has no summary"
echo "ctest-summary: all good"

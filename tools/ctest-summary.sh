#!/usr/bin/env bash
# tools/ctest-summary.sh LOG: from the whole output of a ctest run (--output-on-failure,
# --repeat until-pass:N), the tests that failed, those that ran out of time, and those that
# passed only on a later run, a line each kind, as
#   failed: NAME NAME
#   timed out: NAME
#   needed a second run: NAME
# Nothing for a run where every test passed at once. A retried test that passes would
# otherwise be seen nowhere but in the log: such a test is flaky, and worth a look.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tools/ctest-summary.sh CTEST_LOG" >&2; exit 2; }
awk '
  # A result: "12/80 Test #7: name ....   Passed 0.1 sec"; a rerun drops the count.
  /^ *([0-9]+\/[0-9]+ +)?Test +#[0-9]+: / {
    line = $0
    sub(/^ *([0-9]+\/[0-9]+ +)?Test +#[0-9]+: +/, "", line)
    name = line
    sub(/ .*/, "", name)
    if (!(name in runs)) order[++count] = name
    runs[name]++
    if (line ~ /\*\*\*Timeout/) last[name] = "timeout"
    else if (line ~ /\*\*\*/ && line !~ /\*\*\*Skipped/) last[name] = "failed"
    else last[name] = "passed"
  }
  END {
    for (i = 1; i <= count; i++) {
      n = order[i]
      if (last[n] == "failed") failed = failed " " n
      else if (last[n] == "timeout") timedout = timedout " " n
      else if (runs[n] > 1) retried = retried " " n
    }
    if (failed != "") print "failed:" failed
    if (timedout != "") print "timed out:" timedout
    if (retried != "") print "needed a second run:" retried
  }
' "$1"

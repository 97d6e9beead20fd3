#!/usr/bin/env bash
# tools/check-layers.sh on a small scratch tree of its own: what the rooms may include
# passes; an include that reaches a room its room may not use, a folder that no row covers
# and a table that names an unknown room each fail, with the message that points at them.
# Then the real tree against its own table. Arguments: the check, the repository.
set -euo pipefail
check=$1
repo=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $1" >&2; exit 1; }

# The scratch tree: a seam, one side of it, a console room over the seam, tests over
# everything, and a folder without code.
base=$tmp/base
mkdir -p "$base"/{tools,seam,host,engine/core,tests,docs}
cp "$check" "$base/tools/check-layers.sh"
chmod +x "$base/tools/check-layers.sh"
cat > "$tmp/layers.txt" <<'EOF'
# rooms, lowest first
seam         seam
host         host seam
engine/core  engine/core seam   # runs on the console
tests        *
tools        tools
docs         docs
EOF
echo '#pragma once' > "$base/seam/s.h"
printf '#include "seam/s.h"\n' > "$base/host/h.cpp"
# The seam, a library of the system named in quotes, and a header of its own room's.
printf '#include "seam/s.h"\n#include "unicorn/unicorn.h"\n#include <host/h.h>\n#include "engine/core/a.h"\n' \
  > "$base/engine/core/a.cpp"
echo '#pragma once' > "$base/engine/core/a.h"
printf '#include "host/h.h"\n#include "engine/core/a.h"\n' > "$base/tests/t.cpp"
echo 'notes' > "$base/docs/notes.md"
(cd "$base" && git init -q && git add .)

out=$(cd "$base" && LAYERS="$tmp/layers.txt" tools/check-layers.sh 2>&1) || fail "the scratch tree passes: $out"
[ -z "$out" ] || fail "a passing check says nothing: $out"

# A file planted in a copy of the tree (added to git or not), or a line added to the table,
# and the line the check must print. TABLE stands for the table.
while IFS='|' read -r added path text expected; do
  case=$tmp/case
  rm -rf "$case" && cp -r "$base" "$case" && cp "$tmp/layers.txt" "$tmp/case-layers.txt"
  [ "$path" = TABLE ] && target=$tmp/case-layers.txt || target=$case/$path
  mkdir -p "$(dirname "$target")"
  printf '%s\n' "$text" >> "$target"
  [ "$added" = added ] && (cd "$case" && git add -- "$path")
  status=0
  out=$(cd "$case" && LAYERS="$tmp/case-layers.txt" tools/check-layers.sh 2>&1) || status=$?
  [ $status -eq 1 ] || fail "$path ($text): the check fails, status $status: $out"
  grep -qF -- "$expected" <<<"$out" || fail "$path ($text): the check says \"$expected\", not: $out"
  grep -q '^1 fault(s)' <<<"$out" || fail "$path ($text): one fault counted: $out"
done <<'EOF'
added|engine/core/b.cpp|#include "host/h.h"|engine/core/b.cpp:1: engine/core includes host/h.h
new|engine/core/a.h|  #  include "host/h.h"|engine/core/a.h:2: engine/core includes host/h.h
added|seam/t.h|#include "engine/core/a.h"|seam/t.h:1: seam includes engine/core/a.h
added|host/h.cpp|#include "engine/core/a.h"|host/h.cpp:2: host includes engine/core/a.h
new|engine/core/c.cpp|#include "engine/gfx/g.h"|engine/core/c.cpp:1: engine/core includes engine/gfx/g.h, which is in no room
added|engine/gfx/g.cpp|int g;|engine/gfx/g.cpp: in no room
new|extra/notes.md|notes|extra/: a top folder that no room
new|TABLE|docs         docs cmake|names cmake, which no row of the table lists as a room
EOF

# The tree itself keeps its layers.
out=$("$repo/tools/check-layers.sh" 2>&1) || fail "the tree passes its own check: $out"
echo "check-layers: all good"

#!/usr/bin/env bash
# tools/check-layers.sh: fails when a file includes from a room above its own. The rooms and
# what each may include are listed in tools/layers.txt (LAYERS names another table); a file
# belongs to the room with the longest matching folder. Only the project's own includes
# ("folder/file.h") are checked: a top folder of the tree that no row names counts as a room
# no listed room may use. Prints each upward include as FILE:LINE: ROOM includes TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
table=${LAYERS:-tools/layers.txt}
tops=$(git ls-files | sed -n 's|/.*||p' | sort -u | tr '\n' ' ')

git ls-files -- '*.h' '*.cpp' '*.c' '*.S' | awk -v table="$table" -v tops="$tops" '
  BEGIN {
    split(tops, t, " ")
    for (i in t) topdirs[t[i]] = 1
    while ((getline line < table) > 0) {
      sub(/#.*/, "", line)
      n = split(line, f, " ")
      if (n < 1) continue
      rooms[f[1]] = 1
      for (i = 1; i <= n; i++) allowed[f[1], f[i]] = 1
    }
  }
  function room_of(path,   best, r) {
    best = ""
    for (r in rooms)
      if (index(path, r "/") == 1 && length(r) > length(best)) best = r
    return best
  }
  {
    file = $0
    own = room_of(file)
    if (own == "") next
    lineno = 0
    while ((getline text < file) > 0) {
      lineno++
      if (text !~ /^[ \t]*#[ \t]*include[ \t]*"/) continue
      target = text
      sub(/^[^"]*"/, "", target)
      sub(/".*/, "", target)
      if (target !~ /\//) continue
      to = room_of(target)
      if (to == "") {
        to = target
        sub(/\/.*/, "", to)
        if (!(to in topdirs)) continue
      }
      if ((own, to) in allowed) continue
      printf "%s:%d: %s includes %s\n", file, lineno, own, target
      bad++
    }
    close(file)
  }
  END {
    if (bad) {
      printf "%d include(s) reach a room the including room may not use (tools/layers.txt)\n", bad
      exit 1
    }
  }
'

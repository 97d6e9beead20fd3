#!/usr/bin/env bash
# tools/check-layers.sh: fails when a file includes from a room its own room may not use.
# The rooms and what each may include are listed in tools/layers.txt (LAYERS names another
# table); a file belongs to the room with the longest matching folder. Every folder of the
# tree is in some room: a top folder that no row names, a source file in no room and an
# include of the tree's own that lands in no room fail too, so a new folder cannot slip by
# unchecked. Only the project's own includes ("folder/file.h") are checked. Files not yet
# added to git are checked as well. Prints each fault as FILE:LINE: ROOM includes TARGET
# (or what else is wrong) and a count at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
table=${LAYERS:-tools/layers.txt}
[ -r "$table" ] || { echo "check-layers: cannot read the table $table" >&2; exit 2; }
files=$(git ls-files --cached --others --exclude-standard)
tops=$(printf '%s\n' "$files" | sed -n 's|/.*||p' | sort -u | tr '\n' ' ')

printf '%s\n' "$files" | { grep -E '\.(h|hpp|c|cc|cpp|S|inc)$' || true; } | awk -v table="$table" -v tops="$tops" '
  BEGIN {
    split(tops, t, " ")
    for (i in t) topdirs[t[i]] = 1
    row = 0
    while ((getline line < table) > 0) {
      row++
      sub(/#.*/, "", line)
      n = split(line, f, " ")
      if (n < 1) continue
      rooms[f[1]] = 1
      for (i = 1; i <= n; i++) {
        allowed[f[1], f[i]] = 1
        named[f[i]] = row
      }
    }
    close(table)
    for (r in named)
      if (r != "*" && !(r in rooms)) {
        printf "%s:%d: names %s, which no row of the table lists as a room\n", table, named[r], r
        bad++
      }
    for (d in topdirs) {
      listed = 0
      for (r in rooms)
        if (r == d || index(r, d "/") == 1) listed = 1
      if (!listed) {
        printf "%s/: a top folder that no room of %s names\n", d, table
        bad++
      }
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
    if (own == "") {
      printf "%s: in no room of %s\n", file, table
      bad++
      next
    }
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
        top = target
        sub(/\/.*/, "", top)
        if (!(top in topdirs)) continue  # a library of the system, not of the tree
        printf "%s:%d: %s includes %s, which is in no room\n", file, lineno, own, target
        bad++
        continue
      }
      if ((own, to) in allowed || (own, "*") in allowed) continue
      printf "%s:%d: %s includes %s\n", file, lineno, own, target
      bad++
    }
    close(file)
  }
  END {
    if (bad) {
      printf "%d fault(s): includes must reach only the rooms their room may use, and every folder must be in a room (%s)\n", bad, table
      exit 1
    }
  }
'

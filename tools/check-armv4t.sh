#!/usr/bin/env bash
# tools/check-armv4t.sh FOLDER...: fails when an object the build compiled or assembled in
# the given build folders is for a CPU newer than the console's ARMv4T. Two looks at each
# object (FOLDER/**/CMakeFiles/**/*.o):
#  - its architecture tag (readelf -A, Tag_CPU_arch) must be v4T or older: one object made
#    for ARMv5TE tags the whole program ARMv5TE;
#  - its instructions: disassembled once for any ARM and once for ARMv4T, every instruction
#    must read the same both ways. An instruction only a newer CPU has reads differently
#    (clz as an unpredictable cmn, ldrd as undefined), whatever the object's tag says (a
#    newer instruction written as a plain word leaves the tag as it was).
# Prints each fault as OBJECT: what, and a count at the end. ARM_TOOLS is the prefix of the
# binutils to use (arm-linux-gnueabi- unless set).
set -euo pipefail
tools=${ARM_TOOLS:-arm-linux-gnueabi-}
[ $# -gt 0 ] || { echo "usage: tools/check-armv4t.sh BUILD_FOLDER..." >&2; exit 2; }
for dir in "$@"; do
  [ -d "$dir" ] || { echo "check-armv4t: no folder $dir" >&2; exit 2; }
done

# The instructions of an object, address and text, disassembled for the machine given.
instructions() {  # machine object
  "${tools}objdump" -d --no-show-raw-insn -m "$1" "$2" | grep -P '^ +[0-9a-f]+:\t' || true
}

# One object: says what is wrong with it, in one write, and fails; or says nothing.
check_object() {  # object
  local object=$1 report="" arch newer
  arch=$("${tools}readelf" -A "$object" | sed -n 's/^ *Tag_CPU_arch: *//p')
  case "$arch" in
    v4T | v4) ;;
    "") report+="$object: no architecture tag"$'\n' ;;
    *) report+="$object: made for $arch, not ARMv4T"$'\n' ;;
  esac
  newer=$( { diff <(instructions armv4t "$object") <(instructions arm "$object") || true; } | sed -n 's/^> *//p')
  [ -z "$newer" ] || report+="$object: instructions newer than ARMv4T:"$'\n'"$(head -5 <<<"$newer" | sed 's/^/    /')"$'\n'
  [ -z "$report" ] || { printf '%s' "$report"; return 1; }
}
export -f check_object instructions
export tools

# The build's objects, not CMake's own of identifying the compiler (CMakeFiles/3.25.1/...).
list=$(mktemp)
trap 'rm -f "$list"' EXIT
find "$@" -path '*/CMakeFiles/*' -not -path '*/CMakeFiles/[0-9]*' -name '*.o' -print0 | sort -z > "$list"
objects=$(tr -cd '\0' < "$list" | wc -c)
[ "$objects" -gt 0 ] || { echo "check-armv4t: no objects in $*" >&2; exit 1; }
# Each object alone, several at a time.
report=$(xargs -0 -n 1 -P "$(nproc)" bash -c 'check_object "$0"' < "$list" || true)
if [ -n "$report" ]; then
  printf '%s\n' "$report"
  bad=$(grep -o '^[^ ]*\.o: ' <<<"$report" | sort -u | wc -l)
  echo "$bad of $objects object(s) are for a CPU newer than ARMv4T"
  exit 1
fi
echo "$objects objects, all for ARMv4T"

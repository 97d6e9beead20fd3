#!/usr/bin/env bash
# tools/check-armv4t.sh FOLDER...: fails when an object the build compiled or assembled in
# the given build folders is for a CPU newer than the console's ARMv4T. Two looks at each
# object (FOLDER/**/CMakeFiles/**/*.o):
#  - its architecture tag (readelf -A, Tag_CPU_arch) must be v4T or older: one object made
#    for ARMv5TE tags the whole program ARMv5TE;
#  - its instructions: disassembled once for any ARM and once for ARMv4T, every instruction
#    must read the same both ways. An instruction only a newer CPU has reads differently
#    (clz as an unpredictable cmn, ldrd as undefined), whatever the object's tag says (a
#    word written as .inst carries no tag).
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

bad=0 objects=0
while IFS= read -r -d '' object; do
  objects=$((objects + 1))
  faults=0
  arch=$("${tools}readelf" -A "$object" | sed -n 's/^ *Tag_CPU_arch: *//p')
  case "$arch" in
    v4T | v4) ;;
    "") echo "$object: no architecture tag"; faults=1 ;;
    *) echo "$object: made for $arch, not ARMv4T"; faults=1 ;;
  esac
  newer=$( { diff <(instructions armv4t "$object") <(instructions arm "$object") || true; } | sed -n 's/^> *//p')
  if [ -n "$newer" ]; then
    echo "$object: instructions newer than ARMv4T:"
    head -5 <<<"$newer" | sed 's/^/    /'
    faults=1
  fi
  bad=$((bad + faults))
done < <(find "$@" -path '*/CMakeFiles/*' -name '*.o' -print0 | sort -z)

if [ $bad -gt 0 ]; then
  echo "$bad of $objects object(s) are for a CPU newer than ARMv4T"
  exit 1
fi
[ $objects -gt 0 ] || { echo "check-armv4t: no objects in $*" >&2; exit 1; }
echo "$objects objects, all for ARMv4T"

#!/usr/bin/env bash
# tools/check-armv4t.sh on objects made here with the cross compiler, laid out as a build
# folder holds them: ARMv4T objects (ARM and Thumb, C and assembly) pass; an assembly
# object made with the compiler's default CPU, a C object made for ARMv5TE, and an ARMv4T
# object carrying a newer instruction as a plain word each fail, named with what is wrong.
# Arguments: the check, the cross compiler.
set -euo pipefail
check=$1
cc=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $1" >&2; exit 1; }
export ARM_TOOLS=${cc%gcc}

printf '\t.section .rodata\n\t.global data\ndata:\n\t.long 1\n' > "$tmp/data.S"
printf '\t.text\n\t.global add\nadd:\n\tadd r0, r0, r1\n\tbx lr\n' > "$tmp/add.S"
printf '\t.text\n\t.global lead\nlead:\n\t.inst 0xe16f0f11\n\tbx lr\n' > "$tmp/word.S"  # clz r0, r1
printf 'int lead(unsigned x) { return x ? __builtin_clz(x) : 32; }\nint third(int x) { return x / 3; }\n' > "$tmp/lead.c"

# name, source, flags: the objects of a clean build.
objects=$tmp/build/lib/CMakeFiles/lib.dir
mkdir -p "$objects"
make_object() { "$cc" -c -O2 $3 "$tmp/$2" -o "$objects/$1" || fail "cannot make $1"; }
make_object data.S.o data.S "-march=armv4t"
make_object add.S.o add.S "-march=armv4t"
make_object lead.c.o lead.c "-march=armv4t"
make_object thumb.c.o lead.c "-march=armv4t -mthumb"
# CMake's own object of identifying the compiler, made with the compiler's default CPU, is
# not the build's.
mkdir -p "$tmp/build/CMakeFiles/3.25.1/CompilerIdC"
"$cc" -c "$tmp/data.S" -o "$tmp/build/CMakeFiles/3.25.1/CompilerIdC/CMakeCCompilerId.o"
out=$("$check" "$tmp/build" 2>&1) || fail "ARMv4T objects pass: $out"
grep -q '^4 objects, all for ARMv4T$' <<<"$out" || fail "the four objects are counted: $out"

while IFS='|' read -r name source flags expected; do
  make_object "$name" "$source" "$flags"
  status=0
  out=$("$check" "$tmp/build" 2>&1) || status=$?
  rm "$objects/$name"
  [ $status -eq 1 ] || fail "$name ($flags): the check fails, status $status: $out"
  grep -qF -- "$objects/$name: $expected" <<<"$out" || fail "$name: the check says \"$expected\", not: $out"
  grep -q '^1 of 5 object(s)' <<<"$out" || fail "$name: one object counted: $out"
done <<'EOF'
default.S.o|data.S||made for v5TE, not ARMv4T
v5te.c.o|lead.c|-march=armv5te|made for v5TE, not ARMv4T
word.S.o|word.S|-march=armv4t|instructions newer than ARMv4T
EOF
# The newer instruction is named.
make_object word.S.o word.S "-march=armv4t"
out=$("$check" "$tmp/build" 2>&1) && fail "the word fails the check"
grep -qP '^ +0:\tclz\tr0, r1$' <<<"$out" || fail "the word is shown as the instruction it is: $out"
echo "check-armv4t: all good"

#!/usr/bin/env bash
# tools/arm-check.sh (./test.sh --arm): builds every library, program and test for the
# console's CPU (ARMv4T, soft float, static) with Debian's cross compiler, checks that every
# object it made is for ARMv4T, runs the tests under qemu-arm, then runs pellax headless
# under qemu and on this PC and compares their screenshots byte for byte. Folders:
# build-arm-sysroot (the target's libraries, made once), build-arm (the cross build), build
# (this PC's build, for the comparison).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/install-deps.sh
install_deps
install_deps "${GP2X_ARM_DEPS[@]}"

jobs=$(nproc)
top=$PWD
sysroot=$top/build-arm-sysroot
start=$(date +%s)
step() { echo "== $1 ($(( $(date +%s) - start )) s)"; }
# Each build's tests that failed, ran out of time or passed only on a second run, listed at
# the very end, whatever stops the check.
test_summaries=""
trap '[ -z "$test_summaries" ] || printf "== tests that failed, ran out of time or needed a second run ==\n%s" "$test_summaries"' EXIT
run_tests() {  # folder, ctest options...: its output also in FOLDER/ctest.log
  local dir=$1 status=0 summary
  shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$dir/ctest.log" || status=$?
  summary=$(tools/ctest-summary.sh "$dir/ctest.log")
  [ -z "$summary" ] || test_summaries+=$(sed "s|^|$dir: |" <<<"$summary")$'\n'
  return $status
}

# The target's libraries: armel packages unpacked, and GoogleTest built from its sources.
# A list of what went in marks the folder complete; a changed list makes it anew.
want="${GP2X_ARM_TARGET_DEBS[*]} googletest $(dpkg-query -W -f='${Version}' googletest)"
if [ "$(cat "$sysroot/.contents" 2>/dev/null)" != "$want" ]; then
  step "target libraries (build-arm-sysroot)"
  rm -rf "$sysroot"
  mkdir -p "$sysroot/apt/lists/partial" "$sysroot/apt/cache/archives/partial" "$sysroot/debs"
  # apt's own state for armel in the folder: the machine's package lists stay as they are.
  apt_arm=(apt-get -q -o "Dir::State::Lists=$sysroot/apt/lists" -o "Dir::Cache=$sysroot/apt/cache"
           -o APT::Architecture=armel -o APT::Architectures::=armel -o APT::Sandbox::User=root)
  "${apt_arm[@]}" update >/dev/null
  (cd "$sysroot/debs" && "${apt_arm[@]}" download "${GP2X_ARM_TARGET_DEBS[@]}" >/dev/null)
  for deb in "$sysroot"/debs/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
  cmake -S /usr/src/googletest -B "$sysroot/googletest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/armv4t.cmake" -DGP2X_ARM_SYSROOT="$sysroot" \
    -DCMAKE_INSTALL_PREFIX="$sysroot/usr" >/dev/null
  cmake --build "$sysroot/googletest-build" -j "$jobs" >/dev/null
  cmake --install "$sysroot/googletest-build" >/dev/null
  rm -rf "$sysroot/apt" "$sysroot/debs" "$sysroot/googletest-build"
  echo "$want" > "$sysroot/.contents"
fi
# The CPU emulator's archive carries its own crc32 (the same function as zlib's) for where
# zlib is absent; in a static program beside zlib the two clash. Its definition made weak,
# zlib's serves both where it is linked. (Safe to do again.)
(
  cd "$(mktemp -d)"
  archive=$sysroot/usr/lib/arm-linux-gnueabi/libunicorn.a
  arm-linux-gnueabi-ar x "$archive" crc32c.c.o
  arm-linux-gnueabi-objcopy --weaken-symbol=crc32 crc32c.c.o
  arm-linux-gnueabi-ar r "$archive" crc32c.c.o
  rm -rf "$PWD"
)

# This machine's build makes the data generators (the cross build runs them from here: the
# same data, many times faster than emulated) and pellax for the comparison at the end.
step "PC build of the generators and pellax (build)"
generators=(pellax_sound_gen pellax_glow_frames_gen pellax_make_lvl zfont_gen make_kolvo2_data)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target "${generators[@]}" pellax pellax_data pellax_music >/dev/null

step "cross build (build-arm)"
# The emulated CPU is the toolchain's (cmake/armv4t.cmake says why that one): a folder
# configured before forgets the one it kept.
cmake -S . -B build-arm -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGP2X_BENCH=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/armv4t.cmake" -DGP2X_ARM_SYSROOT="$sysroot" \
  -UGP2X_ARM_EMULATOR -DGP2X_HOST_TOOLS="$top/build" >/dev/null
emulator=$(sed -n 's/^GP2X_ARM_EMULATOR:STRING=//p' build-arm/CMakeCache.txt)
if ! cmake --build build-arm -j "$jobs" > build-arm/build.log 2>&1; then
  grep -v '^\[' build-arm/build.log | tail -60
  echo "the cross build failed (build-arm/build.log)" >&2
  exit 1
fi
# A warning of the cross build is a fault to mend; the linker's notes on C library calls
# that want shared libraries at run time in a static program are not.
if grep 'warning:' build-arm/build.log | grep -v 'statically linked applications requires at runtime' | sort -u | grep .; then
  echo "the cross build has warnings (build-arm/build.log)" >&2
  exit 1
fi

# The console's own programs (build-arm-console): the same sources over the seam of plain
# system calls (console/), with no host layer linked; programs only, and the seam's test,
# which runs here as the programs would call it.
step "console programs (build-arm-console)"
console_targets=(kolvo2 pellax testpattern zoltdemo console_seam_test)
cmake -S . -B build-arm-console -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGP2X_TARGET=console \
  -DGP2X_BENCH=OFF -DCMAKE_TOOLCHAIN_FILE="$top/cmake/armv4t.cmake" -DGP2X_ARM_SYSROOT="$sysroot" \
  -DGP2X_HOST_TOOLS="$top/build" >/dev/null
if ! cmake --build build-arm-console -j "$jobs" --target "${console_targets[@]}" > build-arm-console/build.log 2>&1 ||
   grep 'warning:' build-arm-console/build.log | grep -v 'statically linked applications requires at runtime' | sort -u | grep .; then
  grep -v '^\[' build-arm-console/build.log | tail -60
  echo "the console programs' build failed or warned (build-arm-console/build.log)" >&2
  exit 1
fi
for program in kolvo2/kolvo2 pellax/game/pellax tools/testpattern/testpattern tools/zoltdemo/zoltdemo; do
  if arm-linux-gnueabi-nm -C "build-arm-console/$program" | grep -q 'gp2x::host::'; then
    echo "the console program $program links the host layer" >&2
    exit 1
  fi
done
# Every object both builds made, assembly too, is for the console's ARMv4T: by its tag and
# by its instructions (Debian's libraries, ARMv5TE, are not the build's objects).
tools/check-armv4t.sh build-arm build-arm-console
run_tests build-arm-console --timeout 300

step "tests under qemu-arm"
# Emulated programs run about ten times slower: more time for each test.
run_tests build-arm --timeout 1500 --repeat until-pass:2

step "pellax on both CPUs, compared"
cmp_dir=build-arm/compare
rm -rf "$cmp_dir"
# Title, into the first zone, then flying, turning, firing and shielding.
script="0 none
1000 b
1100 none
1600 b
1700 none
4500 up r
5200 r
6000 left r
6400 r
7000 right r
7600 up r
8000 r y
8600 r
9500 down r
10000 r
14000 down left r
20000 up right r y
26000 r"
for arch in pc arm; do
  build=build
  [ $arch = arm ] && build=build-arm
  mkdir -p "$cmp_dir/$arch"
  tools/prepare-data.sh pellax "$cmp_dir/$arch" "$build"
  echo "$script" > "$cmp_dir/$arch/script.txt"
  runner=()
  [ $arch = arm ] && runner=(${emulator//;/ })
  (cd "$cmp_dir/$arch" && GP2X_HEADLESS=1 GP2X_TIMER_START=0x4321 GP2X_SCRIPT=script.txt GP2X_SHOTS=shots \
     GP2X_SHOT_EVERY=1000 GP2X_UNTIL=32000 GP2X_WAV=sound.wav "${runner[@]}" "$top/$build/pellax/game/pellax" \
     > out.txt 2> err.txt) || { echo "pellax ($arch) failed:"; cat "$cmp_dir/$arch/err.txt"; exit 1; } >&2
done
shots=$(ls "$cmp_dir/pc/shots" | wc -l)
if [ "$shots" -lt 30 ] || ! diff -r "$cmp_dir/pc/shots" "$cmp_dir/arm/shots"; then
  echo "pellax's screenshots differ between the PC and the ARM build (or are missing)" >&2
  exit 1
fi
# The sound: identical, as both builds run the same second-core image on the same emulated
# core.
pc_wav=$cmp_dir/pc/sound.wav arm_wav=$cmp_dir/arm/sound.wav
if [ ! -s "$pc_wav" ] || ! cmp -s "$pc_wav" "$arm_wav"; then
  echo "pellax's sound differs between the PC and the ARM build (or is missing):" \
    "$(cmp "$pc_wav" "$arm_wav" 2>&1 | head -1)" >&2
  exit 1
fi
sound="$(( ($(stat -c %s "$pc_wav") - 44) / 2 )) samples, identical"
step "done: $shots pellax screenshots identical; its sound: $sound"

# ---- Frames counted in ARM instructions ----------------------------------------------------
# Both games' scripts under qemu-arm with the instruction-counting plugin (bench/README.md):
# one line per script, the mean and the worst frame as shares of the frame's budget.
step "frame costs in ARM instructions"
bench/arm_frame_costs.sh build-arm "$jobs"

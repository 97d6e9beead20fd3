#!/usr/bin/env bash
# Installs the Debian packages the build needs, saying what it installs. Sourced by
# play.sh and test.sh; safe to run again (it installs only what is missing).
set -euo pipefail

GP2X_DEPS=(build-essential cmake ninja-build pkg-config zlib1g-dev
           libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
           libsdl2-dev libvorbisidec-dev libvorbis-dev libogg-dev libxmp-dev libpng-dev
           gcc-arm-none-eabi libunicorn-dev xz-utils)
# (The last three: the second core's image is built with the bare-metal cross compiler from
# the decoder's Debian sources, which the build fetches and unpacks, and runs on libunicorn.)

# The cross-build for the console's CPU (tools/arm-check.sh) needs these as well.
GP2X_ARM_DEPS=(g++-arm-linux-gnueabi qemu-user googletest)
# ... and these armel libraries, fetched with apt-get download and unpacked into a folder of
# its own: installed for armel beside the PC's, they can clash with the PC's versions.
GP2X_ARM_TARGET_DEBS=(zlib1g-dev libogg-dev libvorbis-dev libvorbisidec-dev libunicorn-dev)

install_deps() {  # [package...]: the packages named, or the build's
  local missing=() wanted=("${GP2X_DEPS[@]}")
  [ $# -gt 0 ] && wanted=("$@")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing build dependencies: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

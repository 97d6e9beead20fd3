#!/usr/bin/env bash
# Installs the Debian packages the build needs, saying what it installs. Sourced by
# play.sh and test.sh; safe to run again (it installs only what is missing).
set -euo pipefail

GP2X_DEPS=(build-essential cmake ninja-build pkg-config zlib1g-dev
           libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
           libsdl2-dev libvorbisidec-dev libvorbis-dev libogg-dev libxmp-dev libpng-dev)

install_deps() {
  local missing=()
  for p in "${GP2X_DEPS[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing build dependencies: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

#!/usr/bin/env bash
# cmake/debian-source.sh DEST PACKAGE...: unpacks the upstream sources of Debian's source
# packages into DEST/<package>, fetched with apt-get under an apt state of DEST's own (the
# machine's sources list turned into deb-src lines), so the machine's package lists stay as
# they are. Only the .orig tarball is needed; a package already unpacked is left alone.
set -euo pipefail
dest=$1
shift
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
state=$dest/apt
apt_src=(apt-get -q -o "Dir::Etc::SourceList=$state/sources.list" -o "Dir::Etc::SourceParts=$state/parts"
         -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache" -o APT::Sandbox::User=root)
updated=0
for package in "$@"; do
  [ -f "$dest/$package/.unpacked" ] && continue
  if [ $updated = 0 ]; then
    rm -rf "$state"
    mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/parts"
    : > "$state/sources.list"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed 's/^Types:.*$/Types: deb-src/' "$f" > "$state/parts/$(basename "$f")"
    done
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list > "$state/sources.list"
    fi
    "${apt_src[@]}" update > "$state/update.log" 2>&1 || { cat "$state/update.log" >&2; exit 1; }
    updated=1
  fi
  rm -rf "$dest/download" "$dest/$package"
  mkdir -p "$dest/download" "$dest/$package"
  # The Debian part of a source package is not needed and may be missing from a mirror:
  # what counts is the upstream tarball.
  (cd "$dest/download" && "${apt_src[@]}" source --download-only "$package" > fetch.log 2>&1) || true
  orig=$(ls "$dest"/download/*.orig.tar.* 2>/dev/null | head -1)
  if [ -z "$orig" ]; then
    cat "$dest/download/fetch.log" >&2
    echo "cannot fetch the sources of $package" >&2
    exit 1
  fi
  tar -xf "$orig" -C "$dest/$package" --strip-components=1
  touch "$dest/$package/.unpacked"
  rm -rf "$dest/download"
done

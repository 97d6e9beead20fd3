#!/bin/sh
# Fetches a Debian game data package that holds tracker modules and unpacks it into DIR,
# for the real-module tests. Nothing fetched is committed; a second call finds it there.
#   fetch_modules.sh DIR [PACKAGE]
set -e
dir=$1
package=${2:-tecnoballz-data}
[ -n "$dir" ] || { echo "usage: fetch_modules.sh DIR [PACKAGE]" >&2; exit 2; }
mkdir -p "$dir"
cd "$dir"
# Test programs run side by side: one fetches, the others wait for it.
exec 9>"$dir/.lock"
flock 9
[ -f "$dir/.done-$package" ] && exit 0
rm -f "$package"_*.deb
timeout 120 apt-get download -q "$package" >/dev/null 2>&1
dpkg-deb -x "$package"_*.deb .
rm -f "$package"_*.deb
touch "$dir/.done-$package"

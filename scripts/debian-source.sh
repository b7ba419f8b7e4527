#!/usr/bin/env bash
# Fetches a Debian source package and unpacks it, its patches applied, as DIR: for a library
# Debian builds for Linux only, which the Windows build compiles itself. apt fetches it from
# the machine's own Debian repositories (their entries read as deb-src) and checks it
# against their signed index; the machine's apt configuration and lists are not changed.
# Needs apt-get and dpkg-source (dpkg-dev); no root.
# Usage: scripts/debian-source.sh PACKAGE DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PACKAGE DIR" >&2; exit 2; }
pkg=$1 dest=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/sources.list.d" "$work/src"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$work/sources.list.d/$(basename "$f")"
done
touch "$work/sources.list"
[ -e /etc/apt/sources.list ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$work/sources.list"
apt=(apt-get -q -o Dir::Etc::SourceList="$work/sources.list"
     -o Dir::Etc::SourceParts="$work/sources.list.d" -o Dir::State::Lists="$work/lists"
     -o Dir::Cache="$work/cache" -o APT::Sandbox::User="$(id -un)")
"${apt[@]}" update >/dev/null
(cd "$work/src" && "${apt[@]}" source "$pkg" >/dev/null)
tree=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d)
[ "$(echo "$tree" | wc -l)" -eq 1 ] && [ -n "$tree" ] || { echo "$0: no source tree of $pkg" >&2; exit 1; }
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$tree" "$dest"
echo "$dest: $(basename "$tree") from Debian's source package"

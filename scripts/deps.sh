#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, when any is missing.
# Usage: scripts/deps.sh run|package|test
#   run      what the program's build needs
#   package  that and what `cpack -G DEB` needs (dpkg-shlibdeps: dpkg-dev, file)
#   test     everything the test command needs
set -euo pipefail
what=${1:-test}
pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev libusb-1.0-0-dev libgl-dev libcli11-dev nlohmann-json3-dev qt6-charts-dev libqt6opengl6-dev libkissfft-dev)
if [ "$what" = package ]; then
  pkgs+=(dpkg-dev file)
fi
if [ "$what" = test ]; then
  pkgs+=(libgtest-dev libbenchmark-dev xvfb xauth umockdev libumockdev-dev clang libclang-rt-14-dev)
  # The style test.
  pkgs+=(clang-format)
  # The code checks (function and file sizes, the front ends' calls) are a Python script.
  pkgs+=(python3)
  # The locale sources the decimal-comma test makes a German locale from.
  pkgs+=(locales)
  # The package check: cpack's dpkg-shlibdeps (dpkg-dev, file), the metadata validators
  # and Debian's package checker.
  pkgs+=(dpkg-dev file appstream desktop-file-utils lintian)
  # The Windows build and its test run.
  pkgs+=(g++-mingw-w64-x86-64-posix googletest wine64)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"

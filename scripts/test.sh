#!/usr/bin/env bash
# Builds everything and runs every test: the debug build, the same tests under the
# address and undefined-behaviour sanitizers, and a short run of every fuzzer.
# TAVRIN_TEST_QUICK=1 runs the debug build's tests only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
# Warnings are errors in CI.
if [ -n "${CI:-}" ]; then export TAVRIN_WERROR=ON; fi

run_preset() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  if [ "$preset" = fuzz ]; then cmake --build --preset fuzz; else cmake --build build/"$preset"; fi
  ctest --preset "$preset" -j2
}

# The Windows build (MinGW-w64) and its tests under Wine: one prefix per run, made
# before the tests, with one wineserver for all of them. tavrin-cli.exe's files are
# compared with those of the default preset's tavrin-cli (built before this stage).
run_windows() {
  echo "=== windows ==="
  local start=$SECONDS prefix=$PWD/build/windows/wineprefix
  export TAVRIN_LINUX_CLI=${TAVRIN_LINUX_CLI:-$PWD/build/default/src/cli/tavrin-cli}
  cmake --preset windows >/dev/null
  cmake --build build/windows
  du -b build/windows/src/cli/tavrin-cli.exe
  # The zip a Windows user gets: tavrin-cli.exe (stripped), the README and the licence.
  cpack --config build/windows/CPackConfig.cmake -B build/windows/package >/dev/null
  du -b build/windows/package/tavrin-*-win64.zip
  cmake -E tar tvf build/windows/package/tavrin-*-win64.zip
  cmake/wine-run.sh "$prefix" --stop
  rm -rf "$prefix" "$prefix.lock"
  cmake/wine-run.sh "$prefix" --serve
  local rc=0
  ctest --preset windows -j2 || rc=$?
  cmake/wine-run.sh "$prefix" --stop
  echo "windows stage: $((SECONDS - start)) s"
  return $rc
}

run_preset default
if [ -z "${TAVRIN_TEST_QUICK:-}" ]; then
  run_preset asan
  run_preset fuzz
  run_windows
fi

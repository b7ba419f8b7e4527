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

run_preset default
if [ -z "${TAVRIN_TEST_QUICK:-}" ]; then
  run_preset asan
  run_preset fuzz
fi

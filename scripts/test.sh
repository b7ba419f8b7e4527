#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
# Warnings are errors in CI.
if [ -n "${CI:-}" ]; then export TAVRIN_WERROR=ON; fi
cmake --preset default
cmake --build build/default
ctest --preset default -j2

#!/usr/bin/env bash
# Builds the program and starts it on the simulated sensor (model 41120 unless
# TAVRIN_SIM says otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
# Tests need packages the program does not; scripts/test.sh turns them on.
[ -f build/default/build.ninja ] || cmake --preset default -DTAVRIN_BUILD_TESTS=OFF
cmake --build build/default --target tavrin
export TAVRIN_SIM=${TAVRIN_SIM:-41120}
exec build/default/src/tavrin "$@"

#!/usr/bin/env bash
# Runs every benchmark in the release build and prints one table.
# Run it on an idle machine: busy-waits and rates follow the load.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
cmake --preset release >/dev/null
cmake --build build/release >&2
out=build/release/bench-results
rm -rf "$out" && mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
for b in build/release/bench/bench_*; do
  [ -x "$b" ] || continue
  name=$(basename "$b")
  echo "running $name ..." >&2
  if [ "$name" = bench_datalog_memory ]; then
    # Peak memory of a whole logging session, one process per size.
    for n in 10000 10000000; do "$b" "$n"; done > "$out/$name.txt"
  elif [ "$name" = bench_libusb ] && command -v umockdev-wrapper >/dev/null; then
    umockdev-wrapper "$b" --benchmark_out="$out/$name.json" --benchmark_out_format=json >/dev/null
  else
    "$b" --benchmark_out="$out/$name.json" --benchmark_out_format=json >/dev/null
  fi
done
python3 scripts/bench_table.py "$out"/*.json "$out"/*.txt

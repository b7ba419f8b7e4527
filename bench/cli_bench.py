#!/usr/bin/env python3
"""tavrin-cli figures: start-up and `info` wall time, and the logging rate.

    python3 bench/cli_bench.py [build/release]

Prints the median wall time of 20 runs of `tavrin-cli --sim 41120 info`, and the samples per
second of a `log` session of 200000 samples of all eight outputs on the deterministic
simulator (the outputs of BM_LogSession/8 in bench_datalog, the session the window runs):
over the sampling phase (the file's Begin/End seconds) and over the whole run.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
cli = os.path.join(build, "src", "cli", "tavrin-cli")
env = dict(os.environ, LC_ALL="C")
env.pop("TAVRIN_SIM", None)


def run(args):
    t0 = time.perf_counter()
    subprocess.run([cli] + args, check=True, env=env, stdout=subprocess.DEVNULL)
    return time.perf_counter() - t0


times = sorted(run(["--sim", "41120", "info"]) for _ in range(20))
print(f"info: median {statistics.median(times) * 1000:.1f} ms over 20 runs "
      f"(min {times[0] * 1000:.1f}, max {times[-1] * 1000:.1f})")

samples = 200000
with tempfile.TemporaryDirectory() as d:
    wall = run(["--sim", "41120,seed=1", "log", "--boxes", "1,2,3,4,5,6,7,8",
                "--samples", str(samples), "--dir", d])
    head = {}
    with open(os.path.join(d, "DATALOG_1.csv"), newline="") as f:
        for line in f.read().split("\r\n")[:6]:
            key, _, value = line.partition(",")
            head[key] = value
    elapsed = float(head["End Seconds"]) - float(head["Begin Seconds"])
    rate = f"{samples / elapsed:,.0f}" if elapsed > 0 else "n/a"
    print(f"log, 8 outputs, {samples} samples: sampling {rate} samples/s, "
          f"whole run {samples / wall:,.0f} samples/s ({wall:.3f} s)")

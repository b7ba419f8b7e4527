#!/usr/bin/env python3
"""Prints the results of Google Benchmark JSON files as one Markdown table."""
import json
import platform
import subprocess
import sys


def human(value, unit=""):
    if isinstance(value, float):
        if abs(value) >= 1000:
            return f"{value:,.0f}{unit}".replace(",", " ")
        return f"{value:.3g}{unit}"
    return f"{value}{unit}"


def machine():
    cpu = platform.processor() or "?"
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                cpu = line.split(":", 1)[1].strip()
    except OSError:
        pass
    return cpu


def main(paths):
    rows = []
    context = None
    for path in paths:
        if path.endswith(".txt"):
            # Plain "key=value ..." lines from programs that are not Google Benchmarks.
            name = path.rsplit("/", 1)[-1][:-4]
            with open(path) as f:
                for line in f:
                    if line.strip():
                        rows.append((name, "", ", ".join(line.split())))
            continue
        with open(path) as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads",
                    "iterations", "real_time", "cpu_time", "time_unit", "family_index",
                    "per_family_instance_index", "aggregate_name", "aggregate_unit", "label",
                    "error_occurred", "error_message"}
            counters = {k: v for k, v in b.items() if k not in skip}
            extra = ", ".join(f"{k}={human(v)}" for k, v in counters.items())
            rows.append((b["name"], human(b["real_time"], " " + b["time_unit"]), extra))
    ctx = context or {}
    load = ctx.get("load_avg", "?")
    if isinstance(load, list):
        load = " ".join(f"{x:.2f}" for x in load)
    print(f"Machine: {machine()}, {ctx.get('num_cpus', '?')} cores at "
          f"{ctx.get('mhz_per_cpu', '?')} MHz, load average {load}, "
          f"{ctx.get('date', '')}")
    print()
    print("| Benchmark | Time per iteration | Figures |")
    print("|---|---|---|")
    for name, t, extra in rows:
        print(f"| {name} | {t} | {extra} |")


if __name__ == "__main__":
    main(sys.argv[1:])

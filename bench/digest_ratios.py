#!/usr/bin/env python3
"""Ratios of our digest throughput to OpenSSL's, from gh_bench's JSON output.

    build/rel/bin/gh_bench --benchmark_filter='^digest/' \
        --benchmark_repetitions=5 --benchmark_format=json | python3 bench/digest_ratios.py

Takes the best (highest bytes/s) of the repetitions of each benchmark, as
other processes on the machine only ever slow a run down."""
import json
import re
import sys

best = {}
for b in json.load(sys.stdin)["benchmarks"]:
    if b.get("run_type") != "iteration" or "bytes_per_second" not in b:
        continue
    m = re.match(r"digest/([^/]+)/([^/]+)/(\d+)", b["name"])
    if not m:
        continue
    key = m.groups()
    best[key] = max(best.get(key, 0.0), b["bytes_per_second"])

print(f"{'digest':8} {'path':9} {'bytes':>8} {'MB/s':>9} {'OpenSSL':>9} {'ratio':>6}")
for (algo, path, size), rate in sorted(best.items(), key=lambda kv: (kv[0][0], int(kv[0][2]), kv[0][1])):
    if path == "openssl":
        continue
    ref = best.get((algo, "openssl", size))
    ratio = f"{rate / ref:6.2f}" if ref else "     -"
    print(f"{algo:8} {path:9} {size:>8} {rate / 1e6:9.1f} {ref / 1e6 if ref else 0:9.1f} {ratio}")

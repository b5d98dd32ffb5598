#!/usr/bin/env python3
"""The table of whole calls from gh_bench JSON files (bench/run_calls.sh).

For each call: the best rate of the repetitions (the machine is shared; other
jobs only ever slow a run down), the bare primitive's best rate over the same
bytes, their ratio, and the worst memory figures of any repetition."""
import json
import sys

# The bare primitive each call is compared with.
BARE = {
    ("MD5Digest", "binary64MiB"): "MD5/64MiB",
    ("MD5Digest", "text16Mchars"): "MD5/16MiB",
    ("SHA256Digest", "binary64MiB"): "SHA256/64MiB",
    ("SHA256Digest", "text16Mchars"): "SHA256/16MiB",
    ("SHA256Digest", "file1GiB"): "SHA256/64MiB",
    ("base64Encode", "binary64MiB", "wide"): "base64/64MiB/chars",
    ("base64Encode", "binary64MiB", "byte"): "base64/64MiB/bytes",
    ("base64Encode", "text16Mchars"): "base64/16MiB/chars",
    ("blowfishEncryptToBin", "binary64MiB"): "blowfish/64MiB",
}


def load(paths):
    runs = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
                continue
            name = b.get("run_name", b["name"]).split("/min_time:")[0]
            runs.setdefault(name, []).append(b)
    return runs


def best(runs, name, key="bytes_per_second"):
    values = [b[key] for b in runs.get(name, []) if key in b]
    return max(values) if values else None


def worst(runs, name, key):
    values = [b[key] for b in runs.get(name, []) if key in b]
    return max(values) if values else None


def fmt(x, digits=2):
    return "–" if x is None else f"{x:.{digits}f}"


def main(paths):
    runs = load(paths)
    calls = sorted({tuple(n.split("/")[2:5]) for n in runs if n.startswith("calls/emulator/")})
    print("| call | value | build | emulator MB/s | × bare | lean MB/s | × bare | bare MB/s "
          "| heap / value | RSS / value | lean heap / value |")
    print("|---|---|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for function, value, build in calls:
        bare_name = BARE.get((function, value, build)) or BARE.get((function, value))
        emu_name = f"calls/emulator/{function}/{value}/{build}"
        lean_name = f"calls/lean/{function}/{value}/{build}"
        emu, lean = best(runs, emu_name), best(runs, lean_name)
        bare = best(runs, f"calls/bare/{bare_name}") if bare_name else None
        mb = lambda x: None if x is None else x / 1e6
        ratio = lambda x: None if x is None or not bare else x / bare
        print(f"| {function} | {value} | {build} | {fmt(mb(emu), 0)} | {fmt(ratio(emu))} | {fmt(mb(lean), 0)} "
              f"| {fmt(ratio(lean))} | {fmt(mb(bare), 0)} | {fmt(worst(runs, emu_name, 'heap_x'))} "
              f"| {fmt(worst(runs, emu_name, 'rss_x'))} | {fmt(worst(runs, lean_name, 'heap_x'))} |")
    print()
    for name, what in (("calls/copy/64MiB", "a host's copy of 64 MiB into a new block"),
                       ("calls/floor/base64/64MiB/bytes", "Base64 of 64 MiB into a new block of bytes"),
                       ("calls/floor/base64/64MiB/chars", "Base64 of 64 MiB into a new block of characters")):
        rate = best(runs, name)
        if rate:
            print(f"- {what} (`{name}`): {rate / 1e6:.0f} MB/s")


if __name__ == "__main__":
    main(sys.argv[1:])

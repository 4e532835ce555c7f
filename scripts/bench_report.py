#!/usr/bin/env python3
"""Turns the benchmark outputs in RESULTS_DIR into bench/RESULTS.md (stdout)."""
import datetime
import json
import os
import platform
import re
import sys


def machine():
    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = ""
    try:
        with open("/proc/meminfo") as f:
            kb = int(f.readline().split()[1])
            mem = f", {kb / 1024 / 1024:.0f} GiB"
    except OSError:
        pass
    return f"{os.cpu_count()} cores, {cpu}{mem}, {platform.system()} {platform.release()}"


def native(path):
    with open(path) as f:
        data = json.load(f)
    rows = {}
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        rows[b["name"]] = {"ms": b["real_time"] * scale, "bps": b.get("bytes_per_second")}
    return rows


def wine(path):
    rows, extra = {}, {}
    with open(path) as f:
        for line in f:
            m = re.match(r"^(.*?)\s+([\d.]+) s\s+(\d+) files", line)
            if m:
                rows[m.group(1).strip()] = (float(m.group(2)), int(m.group(3)), line.rstrip())
                continue
            m = re.match(r"^(start working set|peak working set|fixed tables): ([\d.]+) MB", line)
            if m:
                extra[m.group(1)] = float(m.group(2))
    return rows, extra


def find(rows, prefix):
    for name, value in rows.items():
        if name.startswith(prefix):
            return value
    return None


def main():
    d = sys.argv[1]
    nat = native(os.path.join(d, "native.json"))
    big, big_mem = wine(os.path.join(d, "wine.txt"))
    small, small_mem = wine(os.path.join(d, "wine-small.txt"))
    peers = []
    with open(os.path.join(d, "peers.txt")) as f:
        for line in f:
            name, seconds = line.rstrip("\n").split("\t")
            peers.append((name, float(seconds)))

    out = []
    w = out.append
    w("# Benchmark results")
    w("")
    w(f"Made by `bash scripts/bench.sh` on {datetime.date.today().isoformat()}, on {machine()}.")
    w("Under Wine the tree is 100,000 files in 5,000 folders (about 1.8 GB, warm cache), made by")
    w("`scripts/make_bench_tree.py` the same way every time; each Wine figure is the best of five")
    w("rounds measured side by side in one run. These machines are shared: figures move by a")
    w("few per cent from run to run.")
    try:
        with open(os.path.join(d, "load.txt")) as f:
            loads = [line.split() for line in f if line.strip()]
        w(f"Load average (1, 5, 15 minutes) on the {os.cpu_count()} cores: {', '.join(loads[0])} before the")
        w(f"Wine benchmarks, {', '.join(loads[-1])} after them.")
    except OSError:
        pass
    w("")

    def ratio(a, b):
        return a / b if a is not None and b else None

    # Each target is held against the faster of the ANSI and the wide floor.
    walk_a = big.get("floor: bare FindFirstFileA walk", (None,))[0]
    walk_w = big.get("floor: bare FindFirstFileW walk", (None,))[0]
    read_a = big.get("floor: open and read every file (64 KiB)", (None,))[0]
    read_w = big.get("floor: open and read every file, wide (64 KiB)", (None,))[0]
    walk = min(x for x in (walk_a, walk_w) if x is not None)
    open_read = min(x for x in (read_a, read_w) if x is not None)
    open_read_2 = big.get("floor: open and read every file, two threads", (None,))[0]
    create = big.get("Create without checksums", (None,))[0]
    create_ck = big.get("Create with checksums", (None,))[0]
    compare_ck = big.get("Compare with checksums", (None,))[0]
    create_sha = big.get("Create with SHA-256", (None,))[0]
    plain = find(nat, "PlainRead")
    checksum = find(nat, "ChecksumOfFile")
    sha256 = {path: find(nat, f"Sha256OfBuffer/{arg}") for path, arg in (("with", 1), ("without", 0))}
    sorts = [v["ms"] for k, v in nat.items() if k.startswith("BM_Sort")]
    walks = [v["ms"] for k, v in nat.items() if k.startswith("BM_Walk")]
    save_load = find(nat, "SaveAndLoad")

    targets = []

    def target(name, measured, limit, ok):
        targets.append((name, measured, limit, "yes" if ok else "**no**"))

    def both(ours, a, w):
        parts = [f"{label} {ratio(ours, f):.2f}" for label, f in (("A", a), ("W", w)) if f is not None]
        return " (" + ", ".join(parts) + ")"

    r = ratio(create, walk)
    target("Create without checksums / faster bare walk (Wine)", f"{r:.2f}" + both(create, walk_a, walk_w),
           "at most 1.15", r <= 1.15)
    for name, seconds in (("Create", create_ck), ("Compare", compare_ck)):
        r = ratio(seconds, open_read)
        target(f"{name} with checksums / faster open and read of every file, one thread (Wine)",
               f"{r:.2f}" + both(seconds, read_a, read_w), "at most 0.6", r <= 0.6)
        r = ratio(seconds, open_read_2)
        target(f"{name} with checksums / open and read of every file, two threads (Wine)", f"{r:.2f}",
               "at most 1.15", r <= 1.15)
    if create_sha is not None:
        r = ratio(create_sha, create_ck)
        target("Create with SHA-256 / Create with checksums, same run (Wine)", f"{r:.2f}", "at most 1.25", r <= 1.25)
    r = checksum["bps"] / plain["bps"]
    target("checksum of a cached 1 GiB file / plain reading (native)",
           f"{r:.2f} ({checksum['bps'] / 1e9:.1f} / {plain['bps'] / 1e9:.1f} GB/s)", "at least 0.6", r >= 0.6)
    for path, floor in (("with", 1.5), ("without", 0.2)):
        bps = (sha256[path] or {}).get("bps")
        target(f"SHA-256 of a cached 1 GiB buffer, {path} the SHA extensions (native)",
               f"{bps / 1e9:.2f} GB/s" if bps else "not run", f"at least {floor} GB/s", bool(bps) and bps / 1e9 >= floor)
    worst = max(sorts) + max(walks)
    target("sort + comparison walk, 100,000 against 100,000, slowest sort and slowest walk (native)",
           f"{worst:.1f} ms ({max(sorts):.1f} + {max(walks):.1f})", "under 100 ms", worst < 100)
    target("save + load of 100,000 records (native)", f"{save_load['ms']:.1f} ms", "under 200 ms",
           save_load["ms"] < 200)
    for label, mem in (("100,000 files", big_mem), ("1,000 files", small_mem)):
        over = mem["peak working set"] - mem["start working set"] - mem["fixed tables"]
        target(f"peak working set over the process at start, {label} (Wine)",
               f"{mem['peak working set']:.1f} MB peak, {mem['start working set']:.1f} MB at start, "
               f"tables {mem['fixed tables']:.1f} MB: {over:+.1f} MB", "tables + at most 8 MB", over <= 8)

    w("## Targets")
    w("")
    w("| target | measured | limit | met |")
    w("|---|---|---|---|")
    for t in targets:
        w("| " + " | ".join(t) + " |")
    w("")
    # The 0.6 goal assumes two threads read twice as fast as one; say how far
    # the platform itself gets.
    w(f"Bare open and read of every file, two threads against one: {ratio(open_read_2, open_read):.2f}. "
      "Under Wine every")
    w("file costs three requests to the single-threaded wineserver (open, hand over the descriptor,")
    w("close), which no reader avoids: where this ratio is above 0.6, so is any reader's.")
    w("")
    w("## Under Wine (100,000 files)")
    w("")
    w("| measurement | seconds | files | ratio to its floor |")
    w("|---|---|---|---|")
    floors = {"Create without checksums": f"{ratio(create, walk):.2f}",
              "Compare without checksums": f"{ratio(big['Compare without checksums'][0], walk):.2f}"}
    for name in ("Create with checksums", "Compare with checksums"):
        seconds = big[name][0]
        floors[name] = f"{seconds / open_read:.2f} (one thread), {seconds / open_read_2:.2f} (two threads)"
    for name, (seconds, files, _) in big.items():
        w(f"| {name} | {seconds:.3f} | {files} | {floors.get(name, '')} |")
    w("")
    w("## Native (Google Benchmark)")
    w("")
    w("| benchmark | time (ms) | throughput |")
    w("|---|---|---|")
    for name, v in nat.items():
        bps = f"{v['bps'] / 1e9:.2f} GB/s" if v["bps"] else ""
        w(f"| {name} | {v['ms']:.2f} | {bps} |")
    w("")
    w("`BM_PlainRules…` is the comparison walk with a look-ahead that starts again at every step,")
    w("for comparison with the walk that keeps its look-ahead position (same entries, same order).")
    w("")
    w("## Peers, natively on the same tree (context only)")
    w("")
    w("| command | seconds |")
    w("|---|---|")
    for name, seconds in peers:
        w(f"| `{name}` | {seconds:.2f} |")
    w("")
    print("\n".join(out))


if __name__ == "__main__":
    main()

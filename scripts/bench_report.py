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
        for counter in ("sort_ms", "walk_ms", "path_chars"):
            if counter in b:
                rows[b["name"]][counter] = b[counter]
    return rows


def wine(path):
    rows, extra = {}, {}
    if not os.path.exists(path):
        return rows, extra
    with open(path) as f:
        for line in f:
            m = re.match(r"^(.*?)\s+([\d.]+) s\s+(\d+) files", line)
            if m:
                rows[m.group(1).strip()] = (float(m.group(2)), int(m.group(3)), line.rstrip())
                continue
            m = re.match(r"^(start working set|peak working set|tables): ([\d.]+) MB", line)
            if m:
                extra[m.group(1)] = float(m.group(2))
    return rows, extra


def scale(path):
    """The console program's runs at scale: {(what, files): [(seconds, peak KiB, exit)]}, and its bits."""
    runs, bits = {}, None
    if not os.path.exists(path):
        return runs, bits
    with open(path) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "program":
                bits = int(parts[1])
            elif len(parts) == 6:
                what, files, _, seconds, peak, code = parts
                runs.setdefault((what, int(files)), []).append((float(seconds), int(peak), int(code)))
    return runs, bits


def loads(path):
    try:
        with open(path) as f:
            return [line.split() for line in f if line.strip()]
    except OSError:
        return []


def find(rows, prefix):
    for name, value in rows.items():
        if name.startswith(prefix):
            return value
    return None


def main():
    d = sys.argv[1]
    nat = native(os.path.join(d, "native.json")) if os.path.exists(os.path.join(d, "native.json")) else {}
    big, big_mem = wine(os.path.join(d, "wine.txt"))
    small, small_mem = wine(os.path.join(d, "wine-small.txt"))
    runs, bits = scale(os.path.join(d, "scale.txt"))
    peers = []
    if os.path.exists(os.path.join(d, "peers.txt")):
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
    load = loads(os.path.join(d, "load.txt"))
    if load:
        w(f"Load average (1, 5, 15 minutes) on the {os.cpu_count()} cores: {', '.join(load[0])} before the")
        w(f"Wine benchmarks, {', '.join(load[-1])} after them.")
    w("")

    def ratio(a, b):
        return a / b if a is not None and b else None

    targets = []

    def target(name, measured, limit, ok):
        targets.append((name, measured, limit, "yes" if ok else "**no**"))

    def not_run(name, limit):
        targets.append((name, "not run", limit, "**no**"))

    def both(ours, a, w):
        parts = [f"{label} {ratio(ours, f):.2f}" for label, f in (("A", a), ("W", w)) if f is not None]
        return " (" + ", ".join(parts) + ")"

    # Each target is held against the faster of the ANSI and the wide floor.
    walk_a = big.get("floor: bare FindFirstFileA walk", (None,))[0]
    walk_w = big.get("floor: bare FindFirstFileW walk", (None,))[0]
    read_a = big.get("floor: open and read every file (64 KiB)", (None,))[0]
    read_w = big.get("floor: open and read every file, wide (64 KiB)", (None,))[0]
    walk = min((x for x in (walk_a, walk_w) if x is not None), default=None)
    open_read = min((x for x in (read_a, read_w) if x is not None), default=None)
    open_read_2 = big.get("floor: open and read every file, two threads", (None,))[0]
    create = big.get("Create without checksums", (None,))[0]
    create_ck = big.get("Create with checksums", (None,))[0]
    compare_ck = big.get("Compare with checksums", (None,))[0]
    create_sha = big.get("Create with SHA-256", (None,))[0]
    if big:
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
            target("Create with SHA-256 / Create with checksums, same run (Wine)", f"{r:.2f}", "at most 1.25",
                   r <= 1.25)
    else:
        not_run("the Wine benchmarks over 100,000 files", "")

    if nat:
        plain = find(nat, "PlainRead")
        checksum = find(nat, "ChecksumOfFile")
        sha256 = {path: find(nat, f"Sha256OfBuffer/{arg}") for path, arg in (("with", 1), ("without", 0))}
        sorts = [v["ms"] for k, v in nat.items() if k.startswith("BM_Sort")]
        walks = [v["ms"] for k, v in nat.items() if k.startswith("BM_Walk")]
        save_load = find(nat, "SaveAndLoad")
        if checksum and plain:
            r = checksum["bps"] / plain["bps"]
            target("checksum of a cached 1 GiB file / plain reading (native)",
                   f"{r:.2f} ({checksum['bps'] / 1e9:.1f} / {plain['bps'] / 1e9:.1f} GB/s)", "at least 0.6", r >= 0.6)
        for path, floor in (("with", 1.5), ("without", 0.2)):
            bps = (sha256[path] or {}).get("bps")
            target(f"SHA-256 of a cached 1 GiB buffer, {path} the SHA extensions (native)",
                   f"{bps / 1e9:.2f} GB/s" if bps else "not run", f"at least {floor} GB/s",
                   bool(bps) and bps / 1e9 >= floor)
        if sorts and walks:
            worst = max(sorts) + max(walks)
            target("sort + comparison walk, 100,000 against 100,000, slowest sort and slowest walk (native)",
                   f"{worst:.1f} ms ({max(sorts):.1f} + {max(walks):.1f})", "under 100 ms", worst < 100)
        if save_load:
            target("save + load of 100,000 records (native)", f"{save_load['ms']:.1f} ms", "under 200 ms",
                   save_load["ms"] < 200)
    else:
        not_run("the native benchmarks", "")

    # The process at its peak against the process at start: the record
    # tables grow with the files, so the limit does too.
    for label, files, mem in (("100,000 files", 100_000, big_mem), ("1,000 files", 1_000, small_mem)):
        limit_mb = 8 + 266 * files / 1e6
        limit = f"at most 8 MB + 266 bytes a file ({limit_mb:.1f} MB)"
        name = f"peak working set over the process at start, {label} (Wine)"
        if "peak working set" not in mem:
            not_run(name, limit)
            continue
        over = mem["peak working set"] - mem["start working set"]
        tables = f", of which record tables {mem['tables']:.1f} MB" if "tables" in mem else ""
        target(name, f"{mem['peak working set']:.1f} MB peak, {mem['start working set']:.1f} MB at start: "
               f"{over:+.1f} MB{tables}", limit, over <= limit_mb)

    # At scale.
    def best(what, files):
        got = runs.get((what, files))
        return min(t for t, _, _ in got) if got else None

    def peak(what, files):
        got = runs.get((what, files))
        return max(p for _, p, _ in got) if got else None

    sizes = sorted({f for (what, f) in runs if what == "compare"})
    large = sizes[-1] if sizes else 2_000_000
    small_n = sizes[0] if sizes else 100_000
    growth = large / small_n
    growth_limit = 1.05 * growth
    program = "Wine" if bits != 64 else "Wine, 64-bit console program"
    versions = sorted(p for _, p, _ in runs.get(("version", 0), []))
    base = versions[len(versions) // 2] if versions else None
    for what, label in (("create", "Create"), ("compare", "Compare")):
        name = f"{label} of {large:,} / {small_n:,} files ({program})"
        a, b = best(what, large), best(what, small_n)
        if a is None or b is None:
            not_run(name, f"at most {growth_limit:.3g}")
            continue
        r = a / b
        target(name, f"{r:.1f} ({a:.2f} s / {b:.2f} s)", f"at most {growth_limit:.3g}", r <= growth_limit)

    def per_file(what, files):
        p = peak(what, files)
        return None if p is None or base is None else (p - base) * 1024 / files

    for what, extra, limit in (("compare", "", 200), ("compare-sha256", " with SHA-256", 266)):
        at = large if peak(what, large) is not None else small_n if peak(what, small_n) is not None else large
        name = f"peak memory of a Compare{extra} at {at:,} files, bytes a file ({program})"
        b = per_file(what, at)
        if b is None:
            not_run(name, f"at most {limit}")
            continue
        target(name, f"{b:.0f} ({peak(what, at) / 1024:.1f} MB peak, {base / 1024:.1f} MB for `--version`)",
               f"at most {limit}", b <= limit)

    scale_sort = [(k, v) for k, v in nat.items() if k.startswith("BM_ScaleSortAndWalk/")]
    if scale_sort:
        name_, v = max(scale_sort, key=lambda kv: kv[1]["ms"])
        records = int(name_.split("/")[1])
        parts = f"sort {v['sort_ms']:.0f} + walk {v['walk_ms']:.0f} ms" if "sort_ms" in v else ""
        changed = ", with changes" if name_.split("/")[2] == "1" else ""
        target(f"sort + comparison of {records:,} records (native)", f"{v['ms'] / 1000:.2f} s ({parts}{changed})",
               "under 2 s", v["ms"] < 2000)
    else:
        not_run("sort + comparison of 2,000,000 records (native)", "under 2 s")
    scale_save = sorted((int(k.split("/")[1]), v["ms"]) for k, v in nat.items() if k.startswith("BM_ScaleSaveAndLoad/"))
    if len(scale_save) >= 2:
        (n1, t1), (n2, t2) = scale_save[0], scale_save[-1]
        lim = 1.05 * n2 / n1
        target(f"save + load {n2:,} / {n1:,} (native)", f"{t2 / t1:.1f} ({t2:.0f} ms / {t1:.1f} ms)",
               f"at most {lim:.3g}", t2 / t1 <= lim)
    else:
        not_run("save + load 2,000,000 / 100,000 (native)", "at most 21")
    name = f"Create of 1,000 files: peak over `--version` ({program})"
    p = peak("create", 1000)
    if p is None or base is None:
        not_run(name, "a few MB: at most 5 MB")
    else:
        over = (p - base) / 1024
        target(name, f"{over:+.1f} MB ({p / 1024:.1f} MB against {base / 1024:.1f} MB)", "a few MB: at most 5 MB",
               over <= 5)

    w("## Targets")
    w("")
    w("| target | measured | limit | met |")
    w("|---|---|---|---|")
    for t in targets:
        w("| " + " | ".join(t) + " |")
    w("")
    if open_read_2 is not None and open_read:
        # The 0.6 goal assumes two threads read twice as fast as one; say how far
        # the platform itself gets.
        w(f"Bare open and read of every file, two threads against one: {ratio(open_read_2, open_read):.2f}. "
          "Under Wine every")
        w("file costs three requests to the single-threaded wineserver (open, hand over the descriptor,")
        w("close), which no reader avoids: where this ratio is above 0.6, so is any reader's.")
        w("")
    if big:
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
    if runs:
        rounds = max(len(v) for (what, _), v in runs.items() if what == "compare")
        w("## At scale: the console program under Wine")
        w("")
        what = ("the shipped 32-bit `olvarin-cli.exe` (build/windows-x86)" if bits != 64 else
                "the 64-bit `olvarin-cli.exe` (build/windows-x64; this machine runs no 32-bit program)")
        w(f"Each run starts {what} afresh under Wine, in a 64-bit prefix of its own")
        w("(build/bench/scale/wine), over trees made by `scripts/make_bench_tree.py --scale`: tiny files")
        w("(0 to 100 bytes), twenty to a folder under four levels of folders, paths of about 100")
        w(f"characters, inodes in the cache. Seconds are the best of {rounds} rounds (SHA-256 at the larger")
        w("size: one). The peak is the Wine process's peak resident size seen from Linux (`/usr/bin/time`),")
        w(f"the largest of the rounds; `--version` run the same way peaks at {base / 1024:.1f} MB (the median")
        w("of three), and the last two columns are what a run holds beyond that.")
        scale_load = loads(os.path.join(d, "scale-load.txt"))
        if scale_load:
            w(f"Load average (1, 5, 15 minutes): {', '.join(scale_load[0])} before these runs,"
              f" {', '.join(scale_load[-1])} after them.")
        w("")
        w("| run | files | seconds | files/s | peak (MB) | over `--version` (MB) | bytes a file |")
        w("|---|---|---|---|---|---|---|")
        labels = {"create": "Create", "compare": "Compare", "create-sha256": "Create with SHA-256",
                  "compare-sha256": "Compare with SHA-256"}
        order = list(labels)
        for (what, files), got in sorted(runs.items(), key=lambda kv: (kv[0][1], order.index(kv[0][0])
                                                                       if kv[0][0] in order else len(order))):
            if what == "version":
                continue
            t, p = best(what, files), peak(what, files)
            over = (p - base) / 1024
            w(f"| {labels.get(what, what)} | {files:,} | {t:.2f} | {files / t:,.0f} | {p / 1024:.1f} | "
              f"{over:+.1f} | {over * 1024 * 1024 / files:.0f} |")
        w("")
    if nat:
        w("## Native (Google Benchmark)")
        w("")
        w("| benchmark | time (ms) | throughput |")
        w("|---|---|---|")
        for name, v in nat.items():
            bps = f"{v['bps'] / 1e9:.2f} GB/s" if v["bps"] else ""
            if "sort_ms" in v:
                bps = f"sort {v['sort_ms']:.0f} ms, walk {v['walk_ms']:.0f} ms, paths {v['path_chars']:.0f} characters"
            w(f"| {name} | {v['ms']:.2f} | {bps} |")
        w("")
        w("`BM_PlainRules…` is the comparison walk with a look-ahead that starts again at every step,")
        w("for comparison with the walk that keeps its look-ahead position (same entries, same order).")
        w("`BM_Scale…` work on a file server's tree made up in memory: paths of about 100 characters,")
        w("twenty files to a folder; the sort and walk of a scan appended in walk order against a")
        w("signature in path order (`/0` nothing changed, `/1` about one file in forty), and saving and")
        w("loading its signature.")
        w("")
    if peers:
        w("## Peers, natively on the same tree (context only)")
        w("")
        w("| command | seconds |")
        w("|---|---|")
        for name, seconds in peers:
            w(f"| `{name}` | {seconds:.2f} |")
        w("")
    # Figures measured by hand, outside the benchmark programs, stay in the report.
    by_hand = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "by-hand.md")
    if os.path.exists(by_hand):
        with open(by_hand) as f:
            out.append(f.read().rstrip("\n"))
            w("")
    print("\n".join(out))


if __name__ == "__main__":
    main()

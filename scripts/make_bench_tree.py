#!/usr/bin/env python3
"""Writes the benchmark tree: the same folders, names, sizes and bytes on
every run. Default: 100,000 files in 5,000 folders, about 1.78 GB.

    make_bench_tree.py DEST [--files N] [--folders N] [--total-mb MB]
"""
import argparse
import glob
import os
import random
import shutil
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dest")
    parser.add_argument("--files", type=int, default=100_000)
    parser.add_argument("--folders", type=int, default=5_000)
    parser.add_argument("--total-mb", type=float, default=1780.0)
    args = parser.parse_args()

    # The stamp sits beside the tree, not in it, so that no walk meets it.
    stamp = args.dest.rstrip("/") + f".made-{args.files}-{args.folders}-{args.total_mb}"
    if os.path.exists(stamp):
        return 0  # already made with these settings
    if os.path.exists(args.dest):
        shutil.rmtree(args.dest)
    for old in glob.glob(args.dest.rstrip("/") + ".made-*"):
        os.remove(old)

    rng = random.Random(1001)
    # Folders: a two-level layout, top folders each holding subfolders.
    tops = max(1, int(round(args.folders ** 0.5 / 1.4)))
    folders = []
    for t in range(tops):
        folders.append(os.path.join(args.dest, f"top{t:03d}"))
    t = 0
    while len(folders) < args.folders:
        folders.append(os.path.join(folders[t % tops], f"sub{len(folders):05d}"))
        t += 1
    for folder in folders:
        os.makedirs(folder, exist_ok=True)

    # Sizes: mostly small files and a few large ones, scaled to the total.
    raw = [rng.paretovariate(1.2) for _ in range(args.files)]
    scale = args.total_mb * 1024 * 1024 / sum(raw)
    sizes = [min(int(r * scale), 256 * 1024 * 1024) for r in raw]
    pool = bytes(rng.getrandbits(8) for _ in range(1 << 20))

    for i, size in enumerate(sizes):
        folder = folders[i % len(folders)]
        path = os.path.join(folder, f"file{i:06d}.dat")
        with open(path, "wb") as f:
            offset = (i * 7919) % len(pool)
            remaining = size
            while remaining > 0:
                chunk = pool[offset:offset + remaining]
                f.write(chunk)
                remaining -= len(chunk)
                offset = 0
    open(stamp, "w").close()
    total = sum(sizes)
    print(f"{args.files} files in {len(folders)} folders, {total / 1e9:.2f} GB: {args.dest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

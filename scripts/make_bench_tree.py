#!/usr/bin/env python3
"""Writes the benchmark tree: the same folders, names, sizes and bytes on
every run. Default: 100,000 files in 5,000 folders, about 1.78 GB.

    make_bench_tree.py DEST [--files N] [--folders N] [--total-mb MB]
    make_bench_tree.py DEST --scale --files N [--path-chars N]

With --scale it writes a file server's tree instead, for the runs at scale:
tiny files (0 to 100 bytes, so that millions of them fit), twenty to a
folder under four levels of folders, with paths of about --path-chars
characters (100) as the program records them: DEST's own path included.
Such a tree takes about 4 KB of disk a file (one block each).
"""
import argparse
import glob
import os
import random
import shutil
import sys


SCALE_LEVELS = 4
SCALE_FILES_PER_FOLDER = 20
DEPARTMENTS = ["Finance", "Engineering", "Marketing", "Legal", "Operations", "Sales", "Research", "Support"]
AREAS = ["Contracts", "Reports", "Letters", "Drawings", "Minutes", "Invoices"]
KINDS = ["Invoice", "Notes", "Letter", "Budget", "Photo", "Results"]
EXTENSIONS = ["pdf", "docx", "xlsx", "jpg", "txt", "msg"]
# What the first folder level grows by to bring the paths to their length.
FILLER = "-Shared-Documents-Archive-Department-Files-Records-Library-Store"


def make_scale_tree(dest, files, path_chars):
    leaves = -(-files // SCALE_FILES_PER_FOLDER)
    fanout = 1
    while fanout ** SCALE_LEVELS < leaves:
        fanout += 1
    # The program records the path without the drive letter, with
    # backslashes: DEST's absolute path counts whole.
    base = os.path.abspath(dest)

    def digits(leaf):
        out = []
        for _ in range(SCALE_LEVELS):
            out.append(leaf % fanout)
            leaf //= fanout
        return out[::-1]

    def folder(leaf, pad):
        d = digits(leaf)
        return os.path.join(
            f"{DEPARTMENTS[d[0] % 8]}{d[0]:02d}{FILLER[:pad]}",
            f"P{d[0] * fanout + d[1]:04d}",
            f"{AREAS[(d[1] + d[2]) % 6]}{d[2]:02d}",
            f"B{leaf:05d}")

    def name(i):
        return f"{KINDS[(i * 7) % 6]}-{i:07d}.{EXTENSIONS[(i * 5) % 6]}"

    sample = range(0, files, max(1, files // 1000))
    unpadded = sum(len(base) + 1 + len(folder(i // SCALE_FILES_PER_FOLDER, 0)) + 1 + len(name(i))
                   for i in sample) / len(sample)
    pad = max(0, min(len(FILLER), int(round(path_chars - unpadded))))

    rng = random.Random(2002)
    pool = bytes(rng.getrandbits(8) for _ in range(4096))
    total = 0
    length_sum = 0
    flags = os.O_WRONLY | os.O_CREAT | os.O_TRUNC
    for leaf in range(leaves):
        directory = os.path.join(base, folder(leaf, pad))
        os.makedirs(directory, exist_ok=True)
        for i in range(leaf * SCALE_FILES_PER_FOLDER, min(files, (leaf + 1) * SCALE_FILES_PER_FOLDER)):
            path = os.path.join(directory, name(i))
            length_sum += len(path)
            size = rng.randrange(101)
            fd = os.open(path, flags, 0o644)
            if size:
                os.write(fd, pool[(i * 131) % 2048:][:size])
            os.close(fd)
            total += size
        if leaf % 10000 == 9999:
            print(f"  {(leaf + 1) * SCALE_FILES_PER_FOLDER} files", flush=True)
    print(f"{files} files in {leaves} folders, {total / 1e6:.1f} MB, paths {length_sum / files:.1f} "
          f"characters on average: {dest}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dest")
    parser.add_argument("--files", type=int, default=100_000)
    parser.add_argument("--folders", type=int, default=5_000)
    parser.add_argument("--total-mb", type=float, default=1780.0)
    parser.add_argument("--scale", action="store_true")
    parser.add_argument("--path-chars", type=int, default=100)
    args = parser.parse_args()

    # The stamp sits beside the tree, not in it, so that no walk meets it.
    if args.scale:
        stamp = args.dest.rstrip("/") + f".made-scale-{args.files}-{args.path_chars}"
    else:
        stamp = args.dest.rstrip("/") + f".made-{args.files}-{args.folders}-{args.total_mb}"
    if os.path.exists(stamp):
        return 0  # already made with these settings
    if os.path.exists(args.dest):
        shutil.rmtree(args.dest)
    for old in glob.glob(args.dest.rstrip("/") + ".made-*"):
        os.remove(old)
    if args.scale:
        make_scale_tree(args.dest, args.files, args.path_chars)
        open(stamp, "w").close()
        return 0

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

#!/usr/bin/env python3
"""Many ROMs at once: `tagwright --in-place -s6 -p` on 200 ROMs against the same 200
single runs (`tagwright ROM -s6 -p -oROM`) in a shell loop, as a ratio.

Usage: bench/batch.py [BUILD_DIR] [--roms N] [--size BYTES] [--runs N]

Each run starts from fresh copies of the same ROMs; the medians of interleaved runs
are compared, and both ways must leave the same bytes.
"""
import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def make_roms(folder, count, size):
    os.makedirs(folder)
    for n in range(count):
        body = bytes((i * 73 + 41 + n) % 255 + 1 for i in range(4096))
        with open(os.path.join(folder, f"rom{n:03}.gba"), "wb") as f:
            f.write((body * (size // len(body) + 1))[:size])


def digest(folder):
    h = hashlib.sha256()
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            h.update(name.encode() + f.read())
    return h.hexdigest()


def timed(command, cwd):
    start = time.perf_counter()
    result = subprocess.run(command, cwd=cwd, shell=isinstance(command, str),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {command}")
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", nargs="?", default="build/default")
    parser.add_argument("--roms", type=int, default=200)
    parser.add_argument("--size", type=int, default=1 << 20)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    tagwright = os.path.abspath(os.path.join(args.build_dir, "src", "tagwright"))
    work = tempfile.mkdtemp(prefix="tagwright-batch-", dir=os.environ.get("BENCH_DIR"))
    try:
        source = os.path.join(work, "source")
        make_roms(source, args.roms, args.size)
        batch = [tagwright, "--in-place", "-s6", "-p"] + sorted(os.listdir(source))
        loop = f'for f in *.gba; do "{tagwright}" "$f" -s6 -p "-o$f"; done'
        times = {"batch": [], "loop": []}
        digests = {}
        for _ in range(args.runs):
            for name, command in (("batch", batch), ("loop", loop)):
                folder = os.path.join(work, name)
                shutil.rmtree(folder, ignore_errors=True)
                shutil.copytree(source, folder)
                times[name].append(timed(command, folder))
                digests[name] = digest(folder)
        if digests["batch"] != digests["loop"]:
            sys.exit("the batch and the loop left different bytes")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    batch_s, loop_s = (statistics.median(times[k]) for k in ("batch", "loop"))
    print(f"{args.roms} ROMs of {args.size} bytes, medians of {args.runs} interleaved runs")
    print(f"  tagwright --in-place -s6 -p ROM...   {batch_s * 1000:8.1f} ms")
    print(f"  shell loop of single runs            {loop_s * 1000:8.1f} ms")
    print(f"  batch / loop                         {batch_s / loop_s:8.2f}x")
    return 0


if __name__ == "__main__":
    sys.exit(main())

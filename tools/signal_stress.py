#!/usr/bin/env python3
"""Sends signals (by default SIGINT, SIGTERM, SIGHUP and SIGKILL) at random moments to
`tagwright game.gba -s6 -p -ogame.gba` on a 32 MiB image (the output replaces the
input) and counts what a signal may never leave behind:

  neither   game.gba is neither the old image nor the finished output
  partial   a file in the folder whose length is neither the old nor the new one
  stray     any file in the folder besides game.gba

usage: signal_stress.py TAGWRIGHT [--trials N] [--dir DIR] [--seed S]
                        [--signals INT,TERM,...] [--mib M]
Exits 1 if any count is not zero. SIGKILL cannot be caught, so it alone may leave the
program's temporary file (.game.gba.tagwright-XXXXXXXX.tmp) behind: during the whole write
where the file system has no unnamed files, and for the moment between naming the finished
file and renaming it over game.gba where it has. Those are counted apart ("left by SIGKILL")
and do not fail the run; any other file, or one left by a signal that can be caught, does.
DIR (default: a new folder under the current one, so on the disk rather than in memory) is
where the image lives.
"""
import argparse
import collections
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
SIGNALS = "INT,TERM,HUP,KILL"
TEMPORARY = re.compile(r"\.game\.gba\.tagwright-[0-9a-f]{8}\.tmp")


def has_unnamed_files(folder):
    try:
        os.close(os.open(folder, os.O_TMPFILE | os.O_WRONLY, 0o600))
        return True
    except (AttributeError, OSError):
        return False


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


def run(tagwright, folder):
    return subprocess.Popen([tagwright, "game.gba", "-s6", "-p", "-ogame.gba"], cwd=folder,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tagwright")
    parser.add_argument("--trials", type=int, default=400)
    parser.add_argument("--dir", default=".")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--signals", default=SIGNALS)
    parser.add_argument("--mib", type=int, default=32)
    args = parser.parse_args()
    signals = [signal.Signals["SIG" + name] for name in args.signals.split(",")]
    tagwright = os.path.abspath(args.tagwright)
    rng = random.Random(args.seed)

    root = tempfile.mkdtemp(prefix="tagwright-stress-", dir=args.dir)
    try:
        folder = os.path.join(root, "d")
        os.mkdir(folder)
        old = os.path.join(root, "old.gba")
        with open(old, "wb") as f:
            f.write(rng.randbytes(args.mib * MIB))
        game = os.path.join(folder, "game.gba")
        unnamed = has_unnamed_files(folder)

        # The finished output, and how long a run takes undisturbed.
        durations = []
        for _ in range(3):
            shutil.copyfile(old, game)
            start = time.perf_counter()
            if run(tagwright, folder).wait() != 0:
                sys.exit("an undisturbed run failed")
            durations.append(time.perf_counter() - start)
        duration = sorted(durations)[1]
        new_digest, new_size = digest(game), os.path.getsize(game)
        old_digest, old_size = digest(old), os.path.getsize(old)

        counts = collections.Counter()
        outcomes = collections.Counter()
        for _ in range(args.trials):
            shutil.copyfile(old, game)
            sig = rng.choice(signals)
            delay = rng.uniform(0, duration * 1.2)
            process = run(tagwright, folder)
            time.sleep(delay)
            process.send_signal(sig)
            status = process.wait()
            ended = "finished" if status == 0 else f"ended by {signal.Signals(-status).name}" \
                if status < 0 else f"exit {status}"
            outcomes[ended] += 1
            now = digest(game)
            if now == new_digest:
                counts["new"] += 1
            elif now == old_digest:
                counts["old"] += 1
            else:
                counts["neither"] += 1
            for name in os.listdir(folder):
                if name != "game.gba":
                    killed = sig == signal.SIGKILL and TEMPORARY.fullmatch(name)
                    counts["killed" if killed else "stray"] += 1
                    print(f"{'left by' if killed else 'stray after'} {signal.Signals(sig).name} "
                          f"at {delay * 1000:.1f} ms: {name}")
                    os.remove(os.path.join(folder, name))
                size = os.path.getsize(game) if name == "game.gba" else None
                if size is not None and size not in (old_size, new_size):
                    counts["partial"] += 1
    finally:
        shutil.rmtree(root, ignore_errors=True)

    print(f"{args.trials} trials, a run takes {duration * 1000:.0f} ms undisturbed; "
          f"signals sent at 0 to {duration * 1200:.0f} ms")
    print("  how runs ended: " + ", ".join(f"{k} {v}" for k, v in sorted(outcomes.items())))
    print(f"  game.gba afterwards: old {counts['old']}, new {counts['new']}, "
          f"neither {counts['neither']}")
    print(f"  stray files {counts['stray']}, partial files {counts['partial']}")
    print(f"  temporary files left by SIGKILL {counts['killed']} (the file system "
          f"{'has' if unnamed else 'has no'} unnamed files)")
    bad = counts["neither"] + counts["stray"] + counts["partial"]
    print("ok" if bad == 0 else "FAILED")
    return 0 if bad == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

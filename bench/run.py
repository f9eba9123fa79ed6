#!/usr/bin/env python3
"""Speed and memory of tagwright on the largest GBA image (32 MiB), as ratios.

Usage: bench/run.py [BUILD_DIR] [--runs N]

Every case is timed side by side with its baseline, interleaved, over several
runs; the medians are compared. Ratios, not seconds, are the result: the
machines are shared and noisy.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20


def make_image(path, size):
    block = bytes(filler_mib())
    with open(path, "wb") as f:
        for _ in range(size // MIB):
            f.write(block)


def run_once(argv, cwd, stdout=subprocess.DEVNULL):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, cwd=cwd, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    # --info says 1 for an image without a header or tag, and -e6 for an image without
    # room: a report, not a failure of the run.
    allowed = (0, 1) if "--info" in argv or "-e6" in argv else (0,)
    if os.waitstatus_to_exitcode(status) not in allowed:
        sys.exit(f"failed: {' '.join(argv)}")
    return elapsed, usage.ru_maxrss * 1024


def cpu_once(argv, cwd):
    """CPU seconds (user + system) of one run, its output thrown away."""
    proc = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if os.waitstatus_to_exitcode(status) not in (0, 1, 2):
        sys.exit(f"failed: {argv[0]}")
    return usage.ru_utime + usage.ru_stime


def filler_mib():
    # Non-zero bytes only: the empty-space search must examine every position.
    return bytearray((i * 73 + 41) % 255 + 1 for i in range(MIB))


def make_roms(folder, prefix, count, first_of):
    """`count` ROMs of 1 to 16 MiB: first_of(n), 1 MiB, then the filler."""
    sizes = [1, 2, 4, 8, 16, 8]
    block = bytes(filler_mib())
    names = []
    for n in range(count):
        name = f"{prefix}{n:03}.gba"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(first_of(n))
            for _ in range(sizes[n % len(sizes)] - 1):
                f.write(block)
        names.append(name)
    return names


def make_library(folder, count=200):
    """`count` ROMs of 1 to 16 MiB (about 1.3 GB for 200), each with a header and a tag."""
    first = filler_mib()
    first[0xA0:0xB3] = b"BENCH ROM   ZTGP01\x96"
    first[0x1000:0x100C] = b"SRAM_V113\0\0\0"
    return make_roms(folder, "rom", count, lambda n: first)


def make_disagreeing_library(folder, count=100):
    """`count` ROMs of 1 to 16 MiB on which the readers disagree, so that --info looks
    for the command that mends each: a title that is not UTF-8 (a header some readers
    refuse) and SRAM_V113 off word alignment (a tag most readers miss)."""
    first = filler_mib()
    first[0xA0:0xB3] = b"BENCH \xff\xfe    ZTGP01\x96"
    first[0x1001:0x100D] = b"SRAM_V113\0\0\0"
    return make_roms(folder, "odd", count, lambda n: first)


def make_code_library(folder, count=100):
    """`count` ROMs of 1 to 16 MiB whose code decides what they need: test programs
    (tests/gba-programs) that use SRAM, Flash and EEPROM, each followed by the filler."""
    programs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gba-programs", "roms")
    heads = []
    for program in ("sram_bytes_thumb", "flash64_thumb", "eeprom8k_thumb", "sram_iwram"):
        with open(os.path.join(programs, program + ".gba"), "rb") as f:
            code = f.read()
        first = filler_mib()
        first[:len(code)] = code
        heads.append(first)
    return make_roms(folder, "code", count, lambda n: heads[n % len(heads)])


def cpu_medians(cases, cwd, runs=3):
    """CPU seconds of each case, medians of `runs` interleaved runs after a warm-up."""
    for argv in cases.values():
        cpu_once(argv, cwd)  # warm the page cache
    cpu = {name: [] for name in cases}
    for _ in range(runs):
        for name, argv in cases.items():
            cpu[name].append(cpu_once(argv, cwd))
    return {name: statistics.median(t) for name, t in cpu.items()}


def measure(cases, cwd, runs, cleanup):
    times = {name: [] for name in cases}
    rss = {name: 0 for name in cases}
    for _ in range(runs):
        for name, argv in cases.items():
            cleanup()
            elapsed, peak = run_once(argv, cwd)
            times[name].append(elapsed)
            rss[name] = max(rss[name], peak)
    return {name: statistics.median(t) for name, t in times.items()}, rss


def time_v_peak(argv, cwd):
    """Peak resident set size as GNU time reports it, when /usr/bin/time exists."""
    if not os.path.exists("/usr/bin/time"):
        return None
    out = subprocess.run(["/usr/bin/time", "-v"] + argv, cwd=cwd, capture_output=True, text=True)
    for line in out.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1]) * 1024
    return None


def trial_times(trial_time, work):
    """The trial run's processor time per ROM: the shared real ROMs and the test programs
    where present, and the 32 MiB pattern image (code that never settles)."""
    here = os.path.dirname(os.path.abspath(__file__))
    roms = []
    for folder in (os.path.join(here, "..", "..", "shared", "real-roms"),
                   os.path.join(here, "..", "tests", "data")):
        for root, _, files in os.walk(folder):
            roms += sorted(os.path.join(root, f) for f in files if f.endswith(".gba"))
    roms.append(os.path.join(work, "in.gba"))
    out = subprocess.run([trial_time] + roms, capture_output=True, text=True, check=True).stdout
    return [line.split("\t") for line in out.splitlines()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", nargs="?", default="build/default")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--library", type=int, default=200,
                        help="ROMs for the many-files case (0 skips it)")
    parser.add_argument("--disagreeing", type=int, default=100,
                        help="ROMs for the many-files case where readers disagree (0 skips it)")
    parser.add_argument("--decided", type=int, default=100,
                        help="ROMs for the many-files case whose code decides (0 skips it)")
    args = parser.parse_args()
    tagwright = os.path.abspath(os.path.join(args.build_dir, "src", "tagwright"))
    judge_files = os.path.abspath(os.path.join(args.build_dir, "bench", "judge_files"))
    raw_copy = os.path.abspath(os.path.join(args.build_dir, "bench", "raw_copy"))
    judge_needs = os.path.abspath(os.path.join(args.build_dir, "bench", "judge_needs"))
    trial_time = os.path.abspath(os.path.join(args.build_dir, "bench", "trial_time"))
    for exe in (tagwright, raw_copy, judge_files, judge_needs):
        if not os.access(exe, os.X_OK):
            sys.exit(f"missing {exe}: build first (cmake --workflow --preset default)")

    work = tempfile.mkdtemp(prefix="tagwright-bench-", dir=os.environ.get("BENCH_DIR"))
    try:
        make_image(os.path.join(work, "in.gba"), 32 * MIB)
        make_image(os.path.join(work, "in64.gba"), 64 * MIB)
        # 32 MiB whose first 4 MiB are Thumb functions, every one reached and saving.
        subprocess.run([judge_needs, "--make-code", os.path.join(work, "code.gba"), "4"], check=True)
        trials = trial_times(trial_time, work) if os.access(trial_time, os.X_OK) else []

        def cleanup():
            for name in ("out.gba", "out64.gba"):
                try:
                    os.remove(os.path.join(work, name))
                except FileNotFoundError:
                    pass

        cases = {
            "tagwright -s6": [tagwright, "in.gba", "-s6", "-oout.gba"],
            "raw read+write": [raw_copy, "in.gba", "out.gba"],
            "raw read+durable write": [raw_copy, "in.gba", "out.gba", "--durable"],
            "cp 32 MiB": ["cp", "in.gba", "out.gba"],
            "tagwright -e6 (no room)": [tagwright, "in.gba", "-e6", "-oout.gba"],
            "tagwright --info": [tagwright, "--info", "in.gba"],
            "tagwright -s6 -p": [tagwright, "in.gba", "-s6", "-p", "-oout.gba"],
            "raw durable 64 MiB": [raw_copy, "in64.gba", "out64.gba", "--durable"],
            "cp 64 MiB": ["cp", "in64.gba", "out64.gba"],
            "judgeGameCode (engine)": [judge_needs, "in.gba"],
            "tagwright -s6 (4 MiB code)": [tagwright, "code.gba", "-s6", "-oout.gba"],
            "judgeGameCode (4 MiB code)": [judge_needs, "code.gba"],
        }
        # Warm the page cache once before measuring.
        for argv in cases.values():
            cleanup()
            run_once(argv, work)
        medians, rss = measure(cases, work, args.runs, cleanup)
        peak_time_v = time_v_peak(cases["tagwright -s6"], work)
        cleanup()
        os.remove(os.path.join(work, "in64.gba"))

        def many_files(make, count, extra=None):
            """CPU medians of cat and --info (and `extra`) over `count` ROMs from `make`,
            and the bytes they hold; the ROMs are removed afterwards."""
            names = make(work, count)
            size = sum(os.path.getsize(os.path.join(work, n)) for n in names)
            cases = {"cat": ["cat"] + names, "tagwright --info": [tagwright, "--info"] + names}
            for name, argv in (extra or {}).items():
                cases[name] = argv + names
            cpu = cpu_medians(cases, work)
            for name in names:
                os.remove(os.path.join(work, name))
            return cpu, size

        library = disagreeing = decided = {}
        if args.library > 0:
            library, library_bytes = many_files(make_library, args.library,
                                                {"judge_files (engine alone)": [judge_files]})
        if args.disagreeing > 0:
            disagreeing, disagreeing_bytes = many_files(make_disagreeing_library, args.disagreeing)
        if args.decided > 0:
            decided, decided_bytes = many_files(make_code_library, args.decided)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"32 MiB image in {os.environ.get('BENCH_DIR') or tempfile.gettempdir()}, "
          f"medians of {args.runs} interleaved runs")
    for name, seconds in medians.items():
        print(f"  {name:<26} {seconds * 1000:8.1f} ms   peak RSS {rss[name] / MIB:6.1f} MiB")

    def ratio(line, a, b, target):
        value = medians[a] / medians[b]
        verdict = "" if target is None else ("  ok" if value <= target else "  OVER TARGET")
        limit = "" if target is None else f" (target <= {target}x)"
        print(f"  {line:<40} {value:5.2f}x{limit}{verdict}")
        return target is None or value <= target

    print("ratios")
    # Every save is synced (file, then folder), so the targets are set against the
    # same durable write; the plain write and cp are for the record.
    ok = ratio("-s6 / raw read+durable write", "tagwright -s6", "raw read+durable write", 1.25)
    ratio("-s6 / raw read+write (for the record)", "tagwright -s6", "raw read+write", None)
    ratio("-s6 / cp (for the record)", "tagwright -s6", "cp 32 MiB", None)
    ok &= ratio("-e6 with 32 M dots / -s6", "tagwright -e6 (no room)", "tagwright -s6", 2.0)
    ok &= ratio("--info / -s6", "tagwright --info", "tagwright -s6", 1.0)
    ok &= ratio("-s6 -p (to 64 MiB) / raw durable 64 MiB", "tagwright -s6 -p",
                "raw durable 64 MiB", 2.5)
    ratio("-s6 -p / cp 64 MiB (for the record)", "tagwright -s6 -p", "cp 64 MiB", None)
    # What the game's code needs: the code analysis alone (the file read included), as
    # --info runs it, against a save of the same image.
    ok &= ratio("judgeGameCode / -s6", "judgeGameCode (engine)", "tagwright -s6", 1.0)
    ratio("judgeGameCode / -s6, 4 MiB of code (record)", "judgeGameCode (4 MiB code)",
          "tagwright -s6 (4 MiB code)", None)
    if library:
        print(f"{args.library} ROMs, {library_bytes / 1e9:.2f} GB: CPU seconds (user + system), "
              f"medians of 3")
        for name, seconds in library.items():
            print(f"  {name:<26} {seconds:8.3f} s")
        value = library["tagwright --info"] / library["cat"]
        print(f"  {'--info / cat (CPU)':<40} {value:5.2f}x (target <= 3.0x)"
              f"  {'ok' if value <= 3.0 else 'OVER TARGET'}")
        ok &= value <= 3.0
        engine = library["judge_files (engine alone)"] / library["cat"]
        print(f"  {'engine alone / cat (for the record)':<40} {engine:5.2f}x")
    def batch(cpu, count, size, what):
        print(f"{count} ROMs {what}, {size / 1e9:.2f} GB: CPU seconds (user + system), medians of 3")
        for name, seconds in cpu.items():
            print(f"  {name:<26} {seconds:8.3f} s")
        value = cpu["tagwright --info"] / cpu["cat"]
        print(f"  {'--info / cat (CPU)':<40} {value:5.2f}x (target <= 2.0x)"
              f"  {'ok' if value <= 2.0 else 'OVER TARGET'}")
        return value <= 2.0

    if disagreeing:
        ok &= batch(disagreeing, args.disagreeing, disagreeing_bytes, "whose readers disagree")
    if decided:
        ok &= batch(decided, args.decided, decided_bytes, "whose code decides what they need")
    if trials and len(trials[0]) > 1:
        print("trial run per ROM (processor seconds, frames of 600; budget 2 s)")
        for name, seconds, frames, whole, accesses, dmas in trials:
            verdict = "ok" if float(seconds) <= 2.05 else "OVER BUDGET"
            print(f"  {os.path.basename(name):<32} {float(seconds):6.3f} s  {frames:>3} frames "
                  f"({whole})  {accesses} save accesses, {dmas} DMA3 starts  {verdict}")
            ok &= float(seconds) <= 2.05
    elif trials:
        print("trial run: not in this build")
    peak = peak_time_v if peak_time_v is not None else rss["tagwright -s6"]
    excess = (peak - 32 * MIB) / MIB
    source = "/usr/bin/time -v" if peak_time_v is not None else "wait4"
    verdict = "ok" if excess <= 8 else "OVER TARGET"
    print(f"  peak RSS of -s6 ({source}): {peak / MIB:.1f} MiB = image + {excess:.1f} MiB "
          f"(target <= image + 8 MiB)  {verdict}")
    ok &= excess <= 8
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

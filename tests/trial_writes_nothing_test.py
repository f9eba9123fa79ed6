#!/usr/bin/env python3
"""The trial run writes no save file anywhere.

--info runs a program whose code alone does not decide (a jump through an address built
from the keys) and which stores into SRAM when it runs, so the trial run starts the
emulator core and its save memory is used. It runs under strace with HOME, the XDG
folders and the working folder empty: no system call may open a file for writing,
create, rename or remove one, or make a folder, and every folder stays as it was.

Usage: trial_writes_nothing_test.py TAGWRIGHT   (exit 77: skipped)
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

# support/small_programs.hpp's computedJumpProgram: b 0xC0, then its code.
CODE = [0xE59F0028, 0xE1D010B0, 0xE2011004, 0xE59F2020, 0xE0822001, 0xE12FFF12,
        0xEA000003, 0xE3A0040E, 0xE3A01042, 0xE5C01000, 0xE5C01001, 0xEAFFFFFE,
        0x04000130, 0x080000D8]

WRITING = re.compile(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC")
CHANGING = re.compile(r"^\d+\s+(creat|mkdir|mkdirat|rename|renameat2?|unlink|unlinkat|rmdir|"
                      r"truncate|link|linkat|symlink|symlinkat)\(")


def main():
    program = os.path.abspath(sys.argv[1])
    if shutil.which("strace") is None:
        print("strace is not installed")
        return 77
    with tempfile.TemporaryDirectory() as top:
        home, work = os.path.join(top, "home"), os.path.join(top, "work")
        os.mkdir(home)
        os.mkdir(work)
        rom = bytearray(0x200)
        rom[0:4] = struct.pack("<I", 0xEA00002E)
        for i, word in enumerate(CODE):
            rom[0xC0 + 4 * i:0xC4 + 4 * i] = struct.pack("<I", word)
        with open(os.path.join(work, "jump.gba"), "wb") as f:
            f.write(rom)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
               "XDG_CONFIG_HOME": os.path.join(home, ".config"),
               "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
               "XDG_CACHE_HOME": os.path.join(home, ".cache")}
        log = os.path.join(top, "trace.log")
        run = subprocess.run(["strace", "-f", "-qq", "-o", log, program, "--info", "jump.gba"],
                             cwd=work, env=env, capture_output=True, text=True, timeout=120)
        if "run for a trial" not in run.stdout:
            if "no trial run" in run.stdout:
                print("this build has no trial run")
                return 77
            print("the trial run did not decide:\n" + run.stdout + run.stderr)
            return 1
        failures = []
        with open(log) as f:
            for line in f:
                opening = re.search(r"\bopen(at)?\(.*\"([^\"]*)\".*\)", line)
                if opening and WRITING.search(line):
                    failures.append(line.strip())
                elif CHANGING.search(line):
                    failures.append(line.strip())
        if os.listdir(home) or os.listdir(work) != ["jump.gba"]:
            failures.append(f"folders changed: home {os.listdir(home)}, work {os.listdir(work)}")
        for failure in failures:
            print(failure)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

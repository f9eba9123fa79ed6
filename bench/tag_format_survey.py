#!/usr/bin/env python3
"""How many tagged outputs every reader reads as asked, with the tag format before
and after zero padding.

Usage: bench/tag_format_survey.py [BUILD_DIR]

Clean homebrew-like ROMs of five sizes (valid header, code ZTGP, zeros in the
multiboot fields 0xC4-0xDF and a 64-byte zero stretch half-way) are tagged with each
of the six types, appended (-s), appended and padded (-s -p) and embedded (-e), by
the built program ("after": tags padded with zero bytes, -e from 0xE4). The "before"
outputs are the same files with the tag padded with spaces instead, and -e placed at
the first 12 zero bytes from 0xC0 at a multiple of 4, as earlier versions did.
Each output is judged by the readers engine (bench/judge_files); an output counts
when every reader that reads strings (DeSmuME's slot aside) gives the type asked:
the class for EEPROM and SRAM, the size for Flash; a run-time reader counts against
only when it fixes a wrong Flash size or switches the save area off.
"""
import os
import shutil
import subprocess
import sys
import tempfile

MIB = 1 << 20
SIZES = [0x40000, MIB, 0x2FF0C0, 8 * MIB, 32 * MIB]
AFTER = [b"EEPROM_V120\0", b"EEPROM_V124\0", b"FLASH1M_V103", b"FLASH_V123\0\0",
         b"SRAM_F_V103\0", b"SRAM_V113\0\0\0"]
BEFORE = [b"EEPROM_V120 ", b"EEPROM_V124 ", b"FLASH1M_V103", b"FLASH_V123  ",
          b"SRAM_F_V103 ", b"SRAM_V113   "]
ASKED = ["EEPROM", "EEPROM", "FLASH128K", "FLASH64K", "SRAM", "SRAM"]
IDS = ["vbam", "vbam-libretro", "nba", "skyemu", "ares", "mgba", "gpsp", "mesen2", "hades",
       "noods", "rustboyadvance", "gbajs", "iodinegba", "meteor", "delta", "gbaemu", "desmume",
       "open-agb-firm", "gbarunner2", "gbarunner3", "twilight-slot2", "ezflash-omega", "vbagx",
       "mister", "pocket"]
NOT_COUNTED = {"mgba", "ezflash-omega", "vbagx", "desmume"}


def clean_rom(size):
    block = bytearray((i * 73 + 41) % 255 + 1 for i in range(MIB))
    rom = bytearray()
    while len(rom) < size:
        rom += block
    del rom[size:]
    rom[0:4] = b"\x2e\x00\x00\xea"
    rom[0xA0:0xBD] = b"CLEANROM\0\0\0\0ZTGP01\x96\0\0\0\0\0\0\0\0\0\0"
    rom[0xC0:0xC4] = b"\x00\x00\x00\xea"
    rom[0xC4:0xE0] = bytes(0xE0 - 0xC4)
    half = size // 2 // 4 * 4
    rom[half:half + 64] = bytes(64)
    return rom


def agrees(word, asked):
    word = word.rstrip("*")
    if word in ("RT", "RT64", "RT64A", "RT128"):
        if asked.startswith("FLASH"):
            return word == "RT" or (word == "RT128") == (asked == "FLASH128K")
        return True
    if word.endswith("-NOSRAM"):
        return asked == "EEPROM"
    if word.startswith("EEPROM"):
        return asked == "EEPROM"
    if word.startswith("SRAM"):
        return asked == "SRAM"
    return word == asked


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
    tagwright = os.path.abspath(os.path.join(build, "src", "tagwright"))
    judge = os.path.abspath(os.path.join(build, "bench", "judge_files"))
    work = tempfile.mkdtemp(prefix="tagwright-survey-", dir=os.environ.get("BENCH_DIR"))
    outputs = {"before": [], "after": []}
    try:
        for size in SIZES:
            rom = clean_rom(size)
            source = os.path.join(work, f"clean{size:x}.gba")
            with open(source, "wb") as f:
                f.write(rom)
            for kind in ("-s", "-s -p", "-e"):
                for t in range(6):
                    name = f"{size:x}{kind.replace(' ', '').replace('-', '_')}{t + 1}"
                    after = os.path.join(work, name + ".gba")
                    option = "-e" if kind == "-e" else "-s"
                    argv = [tagwright, source, f"{option}{t + 1}", "-o" + after]
                    if kind == "-s -p":
                        argv.append("-p")
                    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    data = bytearray(open(after, "rb").read())
                    before_data = bytearray(data)
                    if kind == "-e":
                        at = data.find(AFTER[t], 0xE4)
                        before_data[at:at + 12] = rom[at:at + 12]
                        spot = next(o for o in range(0xC0, len(rom) - 11, 4)
                                    if before_data[o:o + 12] == bytes(12))
                        before_data[spot:spot + 12] = BEFORE[t]
                    else:
                        at = (size + 3) // 4 * 4
                        assert data[at:at + 12] == AFTER[t], name
                        before_data[at:at + 12] = BEFORE[t]
                    before = os.path.join(work, name + "-before.gba")
                    with open(before, "wb") as f:
                        f.write(before_data)
                    outputs["after"].append((after, t, kind, size))
                    outputs["before"].append((before, t, kind, size))
        for label in ("before", "after"):
            files = [path for path, _, _, _ in outputs[label]]
            lines = subprocess.run([judge] + files, capture_output=True, text=True,
                                   check=True).stdout.splitlines()
            total = len(files)
            all_ok = 0
            per_reader = {rid: 0 for rid in IDS if rid not in NOT_COUNTED}
            misses = {}
            for line, (path, t, kind, size) in zip(lines, outputs[label]):
                words = line.split()[1:]
                ok = True
                for rid, word in zip(IDS, words):
                    if rid in NOT_COUNTED:
                        continue
                    if agrees(word, ASKED[t]):
                        per_reader[rid] += 1
                    else:
                        ok = False
                        misses.setdefault(rid, 0)
                all_ok += ok
            print(f"{label}: {all_ok}/{total} outputs read as asked by all "
                  f"{len(per_reader)} string readers")
            print("  per reader: " + ", ".join(f"{rid} {n}" for rid, n in per_reader.items()))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

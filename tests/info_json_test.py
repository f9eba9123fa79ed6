#!/usr/bin/env python3
"""--info --json against the checked reader cases.

Builds the image of every row of reader-cases.tsv up to 4 MiB (as the file's header
says), runs `tagwright --info --json` once over all of them, and checks that each line is
valid JSON and that every reader's `outcome`, `bytes` and `decided_by` state the row's
outcome word as readers.md states them. Usage: info_json_test.py TAGWRIGHT CASES.TSV
"""
import json
import os
import subprocess
import sys
import tempfile

MAX_SIZE = 4 << 20

# readers.md: how a report for scripts states each outcome word (outcome, bytes).
WORDS = {
    "EEPROM": ("eeprom", None), "EEPROM512": ("eeprom", 512), "EEPROM8K": ("eeprom", 8192),
    "SRAM": ("sram", 32768), "SRAM64K": ("sram", 65536),
    "FLASH64K": ("flash", 65536), "FLASH128K": ("flash", 131072),
    "NONE": ("none", None), "SIIRTC": ("none", None),
    "RT": ("runtime", None), "RT64": ("runtime", 65536), "RT64A": ("runtime", 65536),
    "RT128": ("runtime", 131072), "ERROR": ("refused", None),
    "RT64-NOSRAM": ("eeprom", None), "RT128-NOSRAM": ("eeprom", None),
}


def unescape(text):
    out = bytearray()
    i = 0
    while i < len(text):
        if text[i] == "\\":
            nxt = text[i + 1]
            if nxt == "0":
                out.append(0)
                i += 2
            elif nxt == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
            else:
                out.append(ord(nxt))
                i += 2
        else:
            out.append(ord(text[i]))
            i += 1
    return bytes(out)


def items(field):
    return [] if field == "-" else field.split(";")


def build(row):
    size = int(row["size"], 16)
    image = bytearray(b"\xff" * size)

    def put(data, offset):
        end = min(size, offset + len(data))
        image[offset:end] = data[:end - offset]

    put(b"ZTGP" if row["code"] == "-" else unescape(row["code"]), 0xAC)
    if row["title"] != "-":
        put(unescape(row["title"]), 0xA0)
    for item in items(row["hdr"]):
        text, offset = item.rsplit("@", 1)
        put(unescape(text), int(offset, 16))
    for item in items(row["fill"]):
        value, span = item.split("@")
        start, end = (int(x, 16) for x in span.split("-"))
        image[start:end] = bytes([int(value, 16)]) * (end - start)
    for item in items(row["put"]):
        text, offset = item.rsplit("@", 1)
        put(unescape(text), int(offset, 16))
    return bytes(image)


def main():
    program, cases = sys.argv[1], sys.argv[2]
    lines = [line.rstrip("\n") for line in open(cases, encoding="utf-8")
             if not line.startswith("#")]
    columns = lines[0].split("\t")
    rows = [dict(zip(columns, line.split("\t"))) for line in lines[1:] if line]
    readers = columns[columns.index("sav") + 1:-1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        paths, checked = [], []
        for row in rows:
            if int(row["size"], 16) > MAX_SIZE:
                continue
            os.mkdir(os.path.join(folder, row["case"]))
            path = os.path.join(folder, row["case"], row["name"])
            with open(path, "wb") as f:
                f.write(build(row))
            paths.append(path)
            checked.append(row)
        run = subprocess.run([program, "--info", "--json"] + paths, capture_output=True,
                             check=False)
        if run.returncode not in (0, 1) or run.stderr:
            failures.append(f"status {run.returncode}, stderr {run.stderr!r}")
        reports = run.stdout.decode("utf-8").split("\n")
        if reports[-1] != "" or len(reports) != len(checked) + 1:
            failures.append(f"{len(reports) - 1} lines for {len(checked)} files")
        for row, line in zip(checked, reports):
            report = json.loads(line)
            if report["size"] != int(row["size"], 16):
                failures.append(f"{row['case']}: size {report['size']}")
            by_id = {r["id"]: r for r in report["readers"]}
            if list(by_id) != readers:
                failures.append(f"{row['case']}: reader ids {list(by_id)}")
                continue
            for reader in readers:
                word = row[reader]
                fallback = word.endswith("*")
                outcome, size = WORDS[word.rstrip("*")]
                got = by_id[reader]
                wrong = got["outcome"] != outcome or got["bytes"] != size
                if fallback:
                    wrong = wrong or got["decided_by"] != "default"
                elif word == "ERROR":
                    wrong = wrong or got["decided_by"] not in ("name", "size", "header")
                elif word.endswith("-NOSRAM"):
                    wrong = wrong or got["decided_by"] != "table"
                elif word == "SIIRTC":
                    wrong = wrong or got["decided_by"] != "string"
                if wrong:
                    failures.append(f"{row['case']} {reader}: {word} stated as {got}")
            verdict = report["verdict"]
            if verdict["ok"] and (verdict["disagreeing"] or len(verdict["asked"]) != 1):
                failures.append(f"{row['case']}: verdict {verdict}")
    for failure in failures[:40]:
        print(failure)
    print(f"{len(checked)} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

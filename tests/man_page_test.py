#!/usr/bin/env python3
"""Checks that the manual page renders without a single warning and still covers
every option, save type and exit status the program has.

usage: man_page_test.py PAGE
Exits 77 (skipped) when groff is not installed.
"""
import os
import re
import shutil
import subprocess
import sys

SKIPPED = 77


def render(page):
    # -t runs tbl for the save-type table; -ww turns on every warning; the page is
    # rendered as plain text so its sections can be checked below.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    result = subprocess.run(
        ["groff", "-t", "-man", "-ww", "-Tutf8", "-rLL=80n", page],
        capture_output=True, env=env, check=False)
    return result.returncode, result.stderr.decode(errors="replace"), \
        result.stdout.decode(errors="replace")


def man_warnings(page):
    # man(1) itself, as a user runs it on a local file; only when man is installed.
    if shutil.which("man") is None:
        return ""
    env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
    result = subprocess.run(["man", "--warnings", "-l", page], capture_output=True,
                            env=env, check=False)
    problems = result.stderr.decode(errors="replace")
    if result.returncode != 0:
        problems += f"\nman exited with {result.returncode}"
    return problems


def section(text, name):
    match = re.search(rf"^{name}\n(.*?)(?=^[A-Z][A-Z ]+\n|\Z)", text, re.M | re.S)
    return match.group(1) if match else ""


def main():
    page = sys.argv[1]
    if shutil.which("groff") is None:
        print("groff is not installed; skipping")
        return SKIPPED
    code, warnings, text = render(page)
    failures = []
    if code != 0 or warnings.strip():
        failures.append(f"groff exited with {code}:\n{warnings}")
    warnings = man_warnings(page)
    if warnings.strip():
        failures.append(f"man -l reported:\n{warnings}")
    # groff marks bold and italic with backspaces in plain-text output.
    text = re.sub(r".\x08", "", text)

    for heading in ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "INTERACTIVE MODE",
                    "EXIT STATUS", "FILES", "EXAMPLES"]:
        if not section(text, heading).strip():
            failures.append(f"section {heading} is missing or empty")
    options = section(text, "OPTIONS")
    for letter in "sertcmopv":
        if not re.search(rf"^\s+-{letter}", options, re.M):
            failures.append(f"option -{letter} is not described")
    for long_option in ["--help", "--version", "--info", "--in-place", "--replace",
                        "--fix"]:
        if not re.search(rf"^\s+{long_option}", options, re.M):
            failures.append(f"option {long_option} is not described")
    if "/p" not in options:
        failures.append("the / prefix is not described")
    for tag in ["EEPROM_V120", "EEPROM_V124", "FLASH1M_V103", "FLASH_V123",
                "SRAM_F_V103", "SRAM_V113"]:
        if tag not in options:
            failures.append(f"save tag {tag} is not listed")
    statuses = section(text, "EXIT STATUS")
    for status in ["0", "1", "2", "255"]:
        if not re.search(rf"^\s+{status}\s", statuses, re.M):
            failures.append(f"exit status {status} is not described")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

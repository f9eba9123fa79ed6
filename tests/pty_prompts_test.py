#!/usr/bin/env python3
"""Drives the interactive mode through a pseudo-terminal, as a person at a terminal
would, and checks that "Enter Selection:" and "Filename: " are on screen before the
program waits for the answer (and that the session then ends normally).

Usage: pty_prompts_test.py PATH_TO_TAGWRIGHT
"""
import os
import pty
import select
import shutil
import sys
import tempfile
import time


def read_until(fd, marker, screen, timeout=10.0):
    """Reads from the terminal until `marker` appears in the new output."""
    start = len(screen)
    deadline = time.monotonic() + timeout
    while marker not in screen[start:]:
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            sys.exit(f"FAIL: {marker!r} never appeared; screen ends with {screen[-300:]!r}")
        ready, _, _ = select.select([fd], [], [], remaining)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                sys.exit(f"FAIL: terminal closed before {marker!r}")
            screen += chunk
    return screen


def assert_waiting(fd, screen, marker):
    """The prompt is the last thing on screen and nothing more comes: the program waits."""
    if not screen.endswith(marker):
        sys.exit(f"FAIL: {marker!r} is not where the cursor waits: {screen[-80:]!r}")
    ready, _, _ = select.select([fd], [], [], 0.5)
    if ready:
        sys.exit(f"FAIL: output went on after {marker!r} without any input")


def main():
    program = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="tagwright-pty-")
    try:
        with open(os.path.join(work, "game.gba"), "wb") as f:
            f.write(bytes(range(1, 256)) * 8)
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(work)
            os.execv(program, [program])
        screen = b""
        screen = read_until(fd, b"Enter Selection:", screen)
        assert_waiting(fd, screen, b"Enter Selection:")
        os.write(fd, b"1\n")
        screen = read_until(fd, b"Filename: ", screen)
        assert_waiting(fd, screen, b"Filename: ")
        os.write(fd, b"game.gba\n")
        screen = read_until(fd, b"Enter Selection:", screen)
        assert_waiting(fd, screen, b"Enter Selection:")
        os.write(fd, b"6\n")
        screen = read_until(fd, b"Enter a name to save the patched rom:", screen)
        os.write(fd, b"out.gba\n")
        screen = read_until(fd, b"Enter Selection:", screen)
        os.write(fd, b"7\n")
        screen = read_until(fd, b"Enter Selection:", screen)
        os.write(fd, b"6\n")
        screen = read_until(fd, b"Thanks for using my utils!", screen)
        _, status = os.waitpid(pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"FAIL: exit status {os.waitstatus_to_exitcode(status)}")
        size = os.path.getsize(os.path.join(work, "out.gba"))
        if size != 255 * 8 + 12:
            sys.exit(f"FAIL: out.gba has {size} bytes")
        print("ok: prompts are on screen before each wait; session saved out.gba and quit")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

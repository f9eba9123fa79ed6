#!/usr/bin/env python3
"""Traces the system calls of real saves and checks that the new content is never
more exposed than the old and is durable before it replaces anything:

- a replacement is created with mode 0600 (O_TMPFILE, or O_CREAT with O_EXCL and
  O_NOFOLLOW); a new name unnamed (O_TMPFILE) with 0666, as open(O_CREAT) would
  create it, or named with 0600;
- nothing is chmod-ed or chown-ed by name; a file created 0600 gets its owner (when
  replacing) and mode through its descriptor before its first byte is written;
- the new file is fsync-ed before the rename (or, for a new name, before it is linked
  in under that name) and the folder after it;
- the rename or link lands on the output name, and nothing else is renamed.

usage: check_write_syscalls.py TAGWRIGHT
Exits 77 (skipped) when strace is not installed.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
CALLS = ("open,openat,creat,write,fsync,fdatasync,fchmod,fchmodat,chmod,fchown,fchownat,"
         "chown,lchown,link,linkat,rename,renameat,renameat2,unlink,unlinkat,close")
LINE = re.compile(r"^(?:\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+)")


def trace(tagwright, folder, arguments):
    log = os.path.join(folder, "..", "trace.log")
    # LeakSanitizer cannot run under ptrace; the sanitizer build is traced without it.
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    subprocess.run(["strace", "-qq", "-f", "-e", "trace=" + CALLS, "-o", log, tagwright]
                   + arguments, cwd=folder, check=True, stdout=subprocess.DEVNULL, env=env)
    calls = []
    with open(log) as f:
        for line in f:
            match = LINE.match(line)
            if match:
                calls.append((match.group(1), match.group(2), int(match.group(3))))
    os.remove(log)
    return calls


def check(calls, output, replacing):
    problems = []
    new_fd = None
    attributes_set = set()
    synced_file = False
    renamed = False
    folder_synced = False
    for name, args, result in calls:
        if name in ("chmod", "fchmodat", "chown", "lchown", "fchownat", "link", "rename"):
            problems.append(f"by name: {name}({args})")
        if name in ("open", "openat", "creat") and ("O_CREAT" in args or "O_TMPFILE" in args):
            unnamed_new = "O_TMPFILE" in args and not replacing
            if not args.endswith(", 0600") and not (unnamed_new and args.endswith(", 0666")):
                problems.append(f"created without mode 0600: {name}({args})")
            if unnamed_new:
                attributes_set.add("fchmod")  # the kernel set it at creation
            if "O_CREAT" in args and ("O_EXCL" not in args or "O_NOFOLLOW" not in args):
                problems.append(f"created without O_EXCL|O_NOFOLLOW: {name}({args})")
            new_fd = result
        fd = args.split(",")[0]
        if new_fd is not None and fd == str(new_fd):
            if name in ("fchmod", "fchown"):
                attributes_set.add(name)
            if name == "write" and "fchmod" not in attributes_set:
                problems.append("content written before the mode was set")
            if name == "write" and replacing and "fchown" not in attributes_set:
                problems.append("content written before the owner was set")
            if name == "fsync":
                synced_file = True
        lands = name in ("renameat", "renameat2") or (
            name == "linkat" and not replacing and result == 0
            and args.split(", ")[3].startswith(f'"{output}"'))
        if lands:
            if not args.split(", ")[3].startswith(f'"{output}"'):
                problems.append(f"renamed onto something else: {args}")
            if not synced_file:
                problems.append("renamed before the new file was synced")
            renamed = True
            new_fd = None
            continue
        if name == "fsync" and renamed:
            folder_synced = True
    if not renamed:
        problems.append("the output was never renamed or linked into place")
    elif not folder_synced:
        problems.append("the folder was not synced after the rename")
    return problems


def main():
    if shutil.which("strace") is None:
        print("strace is not installed; skipping")
        return SKIPPED
    tagwright = os.path.abspath(sys.argv[1])
    failures = []
    with tempfile.TemporaryDirectory(prefix="tagwright-trace-") as root:
        folder = os.path.join(root, "d")
        os.mkdir(folder)
        with open(os.path.join(folder, "in.gba"), "wb") as f:
            f.write(bytes((i * 7 + 1) % 251 + 1 for i in range(100000)))
        private = os.path.join(folder, "private.gba")
        shutil.copy(os.path.join(folder, "in.gba"), private)
        os.chmod(private, 0o600)
        cases = [
            ("replacing a 0600 file", ["in.gba", "-s6", "-p", "-oprivate.gba"], "private.gba", True),
            ("replacing the input", ["in.gba", "-cABCD", "-oin.gba"], "in.gba", True),
            ("a new file", ["in.gba", "-s3", "-onew.gba"], "new.gba", False),
        ]
        for label, arguments, output, replacing in cases:
            for problem in check(trace(tagwright, folder, arguments), output, replacing):
                failures.append(f"{label}: {problem}")
        if os.stat(private).st_mode & 0o777 != 0o600:
            failures.append("the 0600 file lost its mode")
        leftovers = sorted(set(os.listdir(folder)) - {"in.gba", "private.gba", "new.gba"})
        if leftovers:
            failures.append(f"left in the folder: {leftovers}")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("every save created its file private, set its attributes through the "
              "descriptor, and synced it before and after it took the output name")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

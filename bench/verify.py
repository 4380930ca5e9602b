#!/usr/bin/env python3
"""SHA-256 verification benchmark: the same file (1 GiB of random bytes by default) hashed by
our engine's file hasher (sha256file.exe under Wine, the code the engine verifies downloads
with) and by sha256sum, in turn A B A B, the median of each; also our portable path (the one
processors without SHA extensions take). Every digest is checked against hashlib's.

    BUILD_DIR=build-xyz python3 bench/verify.py [--size-mib 1024] [--repeat 3] [--dir DIR]

The file lives in a fresh folder in /dev/shm unless --dir names another, so the disk is not
what is measured; run.py calls rows() with the file it downloaded, for its own table.
"""
import argparse
import hashlib
import os
import shutil
import statistics
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import run  # noqa: E402

MiB = 1024 * 1024
LABEL = "SHA-256 verification"


def rows(wine, folder, name, repeat):
    """Hashes folder/name (reached by Wine as run.DRIVE:\\name) with each tool, A B A B;
    returns [(tool, wall seconds, CPU seconds)] as medians, ours first."""
    build_dir = os.path.dirname(wine.prefix)
    exe = os.path.join(build_dir, "tools", "sha256file", "sha256file.exe")
    if not os.path.exists(exe):
        raise RuntimeError("no %s: build first" % exe)
    path = os.path.join(folder, name)
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(4 * MiB), b""):
            h.update(block)
    want = h.hexdigest()
    win_path = "%s:\\%s" % (run.DRIVE.upper(), name)
    wine_run = os.path.join(TOP, "tools", "wine-run.sh")
    tools = (
        ("engine", [wine_run, exe, win_path], wine.env, lambda: run.proc_cpu(wine.server.pid)),
        ("sha256sum", ["sha256sum", path], None, None),
        ("engine portable", [wine_run, exe, "--portable", win_path], wine.env, lambda: run.proc_cpu(wine.server.pid)),
    )
    runs = {t[0]: [] for t in tools}
    for i in range(repeat + 1):   # the first round warms the page cache and Wine; not counted
        for tool, cmd, env, extra in tools:
            wall, cpu, out = run.timed(cmd, env, extra, output=True)
            if out.split()[:1] != [want]:
                raise RuntimeError("%s printed a wrong digest: %r" % (tool, out[:200]))
            if i:
                runs[tool].append((wall, cpu))
                print("  %-22s %-16s %6.2f s  %5.2f CPU s" % (LABEL, tool, wall, cpu), flush=True)
    return [(tool, statistics.median(w for w, _ in runs[tool]), statistics.median(c for _, c in runs[tool]))
            for tool, _, _, _ in tools]


def table(results, size, repeat):
    """Markdown rows of rows()' results: throughput and the ratio to sha256sum."""
    base = dict((tool, wall) for tool, wall, _ in results)["sha256sum"]
    lines = ["%d MiB from memory, median of %d run(s) per tool" % (size // MiB, repeat),
             "| row | tool | seconds | MiB/s | CPU s | vs sha256sum |", "|---|---|---:|---:|---:|---:|"]
    for tool, wall, cpu in results:
        lines.append("| %s | %s | %.2f | %.0f | %.2f | %.2f |" % (LABEL, tool, wall, size / MiB / wall, cpu, base / wall))
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--repeat", type=int, default=3, help="counted runs per tool; the median is shown")
    ap.add_argument("--dir", default=None, help="folder for the file (default: a new one in /dev/shm)")
    args = ap.parse_args()
    build_dir = os.path.abspath(os.environ.get("BUILD_DIR") or os.path.join(TOP, "build"))
    for tool in ("sha256sum", "wine"):
        if not shutil.which(tool):
            sys.exit("%s is missing" % tool)
    base = tempfile.mkdtemp(prefix="kv-verify-", dir=args.dir or ("/dev/shm" if os.path.isdir("/dev/shm") else None))
    try:
        path = os.path.join(base, "image.bin")
        print("writing a %d MiB file ..." % args.size_mib, flush=True)
        with open(path, "wb") as f:
            for _ in range(args.size_mib):
                f.write(os.urandom(MiB))
        wine = run.Wine(build_dir, base)
        try:
            results = rows(wine, base, "image.bin", args.repeat)
        finally:
            wine.close()
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print()
    print(table(results, args.size_mib * MiB, args.repeat))
    return 0


if __name__ == "__main__":
    sys.exit(main())

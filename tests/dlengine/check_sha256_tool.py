#!/usr/bin/env python3
"""The engine's file hasher (through sha256file.exe under Wine) against Python's hashlib:
random files of lengths around block, read and buffer boundaries, hashed in every read mode
and on both compression paths; the first N bytes; a check that matches, one that does not,
and a wrong size; and the compression path CPUID chose against the processor's flags."""
import hashlib
import os
import shutil
import subprocess
import sys

BUILD_DIR = os.environ.get("BUILD_DIR") or sys.exit("BUILD_DIR is not set")
PREFIX = os.environ.get("KV_WINEPREFIX") or os.path.join(BUILD_DIR, "wineprefix")
WINE_RUN = os.path.join(BUILD_DIR, "wine-run.sh")
TOOL = os.path.join(BUILD_DIR, "tools", "sha256file", "sha256file.exe")
KiB = 1024
MiB = 1024 * KiB
DLE_CHECKSUM = 32
DLE_SIZE_MISMATCH = 33

SIZES = [0, 1, 55, 56, 63, 64, 65, 1000, 64 * KiB - 1, 64 * KiB, 64 * KiB + 1, MiB - 1, MiB, MiB + 1,
         2 * MiB + 64 * KiB, 5 * MiB + 333]
MODES = [[], ["--one-thread"], ["--no-seq-scan", "--read-kib", "64"], ["--portable", "--read-kib", "192"],
         ["--one-thread", "--no-seq-scan", "--portable", "--read-kib", "8192"]]

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def run(args):
    p = subprocess.run([WINE_RUN, TOOL] + args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=120)
    return p.returncode, p.stdout.decode(errors="replace"), p.stderr.decode(errors="replace")


def main():
    if not os.path.exists(TOOL):
        sys.exit("no %s: build first" % TOOL)
    rel = "kvtest-sha256-%d" % os.getpid()
    host = os.path.join(PREFIX, "drive_c", rel)
    win = "C:\\" + rel
    os.makedirs(host)
    try:
        want = {}
        for n in SIZES:
            data = os.urandom(n)
            with open(os.path.join(host, "f%d.bin" % n), "wb") as f:
                f.write(data)
            want["%s\\f%d.bin" % (win, n)] = hashlib.sha256(data).hexdigest()
        names = sorted(want)
        for mode in MODES:
            rc, out, err = run(mode + names)
            got = {}
            for line in out.splitlines():
                digest, _, name = line.partition("  ")
                got[name.strip()] = digest
            check(rc == 0, "%s: exit code %d %s" % (" ".join(mode) or "default", rc, err.strip()[-300:]))
            wrong = [name for name in names if got.get(name) != want[name]]
            check(not wrong, "%s: every digest equals hashlib's (wrong: %s)" % (" ".join(mode) or "default", wrong))

        big = "%s\\f%d.bin" % (win, SIZES[-1])
        with open(os.path.join(host, "f%d.bin" % SIZES[-1]), "rb") as f:
            data = f.read()
        for n in (0, 1, 64 * KiB + 7, len(data) - 1):
            rc, out, _ = run(["--size", str(n), big])
            check(rc == 0 and out.split()[0] == hashlib.sha256(data[:n]).hexdigest(),
                  "the first %d bytes hash as hashlib's digest of them" % n)
        rc, out, _ = run(["--expect", want[big].upper(), big])
        check(rc == 0 and out.strip().endswith("OK"), "the expected digest (upper case) matches")
        wrong = ("0" if want[big][0] != "0" else "1") + want[big][1:]
        rc, _, _ = run(["--expect", wrong, big])
        check(rc == DLE_CHECKSUM, "another digest is a checksum mismatch (%d)" % rc)
        rc, _, _ = run(["--expect", want[big], "--size", str(len(data) + 1), big])
        check(rc == DLE_SIZE_MISMATCH, "another size is a size mismatch (%d)" % rc)

        with open("/proc/cpuinfo") as f:
            flags = next((line.split(":", 1)[1].split() for line in f if line.startswith("flags")), [])
        rc, _, err = run(["--stats", names[0]])
        path = "sha-ni" if "sha_ni" in flags else "portable"
        check(rc == 0 and ("path=%s " % path) in err, "CPUID chose the %s path (%s)" % (path, err.strip()))
    finally:
        shutil.rmtree(host, ignore_errors=True)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

"""Helpers for the engine tests: run dlget.exe under Wine (output through a file, every wait
bounded, the process ended by its pid), folders on the prefix's C: drive, drives mapped to
small tmpfs mounts, and a reader for the engine's work-file record."""
import atexit
import hashlib
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

BUILD_DIR = os.environ.get("BUILD_DIR") or sys.exit("BUILD_DIR is not set")
PREFIX = os.environ.get("KV_WINEPREFIX") or os.path.join(BUILD_DIR, "wineprefix")
WINE_RUN = os.path.join(BUILD_DIR, "wine-run.sh")
DLGET = os.path.join(BUILD_DIR, "tools", "dlget", "dlget.exe")
MiB = 1024 * 1024

# Status values and error codes of DLEngineApi.h the tests look for.
FINISHED = 11
VERIFYING = 6
STOPPED = 5
PAUSED = 4
RETRYING = 3
FAILED = 100
DLE_WORKFILE_MISSING = 9
DLE_WORKFILE_CORRUPT = 10
DLE_WORKFILE_MISMATCH = 11
DLE_HOST_NOT_FOUND = 20
DLE_HTTP_NOT_FOUND = 23
DLE_REDIRECTS = 27
DLE_DISK_FULL = 28
DLE_CONNECT = 21
DLE_CHECKSUM = 32
DLE_SIZE_MISMATCH = 33


def sha256_file(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def pattern(size, seed=1):
    """Incompressible, reproducible bytes."""
    out = bytearray()
    block = hashlib.sha256(b"kv-engine-%d" % seed).digest()
    while len(out) < size:
        block = hashlib.sha256(block).digest()
        out += block * 64
    return bytes(out[:size])


class Workdir:
    """A fresh folder on the prefix's C: drive: .host is its Linux path, .win its Windows path."""

    def __init__(self, name):
        self.rel = "kvtest-engine\\%s-%d" % (name, os.getpid())
        self.host = os.path.join(PREFIX, "drive_c", *self.rel.split("\\"))
        shutil.rmtree(self.host, ignore_errors=True)
        os.makedirs(self.host)
        self.win = "C:\\" + self.rel

    def host_path(self, name):
        return os.path.join(self.host, *name.split("\\"))

    def win_path(self, name):
        return self.win + "\\" + name

    def remove(self):
        shutil.rmtree(self.host, ignore_errors=True)


class Drive:
    """A drive letter mapped to a tmpfs of size_mb MiB (root only); unmapped by remove()."""

    def __init__(self, letter, size_mb):
        self.letter = letter.lower()
        self.mount = tempfile.mkdtemp(prefix="kv-engine-drive-")
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % size_mb, "tmpfs", self.mount], check=True)
        self.link = os.path.join(PREFIX, "dosdevices", self.letter + ":")
        if os.path.lexists(self.link):
            raise RuntimeError("drive %s: is already mapped" % letter)
        os.symlink(self.mount, self.link)

    def win_path(self, name):
        return self.letter.upper() + ":\\" + name

    def host_path(self, name):
        return os.path.join(self.mount, *name.split("\\"))

    def remove(self):
        if os.path.islink(self.link):
            os.unlink(self.link)
        subprocess.run(["umount", self.mount], check=False)
        os.rmdir(self.mount)


_runs = []


@atexit.register
def _end_runs():
    for r in _runs:
        r.close()


class Run:
    """One dlget.exe under Wine; its standard output goes to a file that is read as it grows.
    Every run still going when the test ends is killed by its pid."""

    def __init__(self, args, timeout=120, env=None):
        _runs.append(self)
        self.out = tempfile.NamedTemporaryFile(prefix="kv-dlget-", suffix=".txt", delete=False)
        self.deadline = time.monotonic() + timeout
        self.proc = subprocess.Popen([WINE_RUN, DLGET] + list(args), stdin=subprocess.DEVNULL,
                                     stdout=self.out, stderr=subprocess.DEVNULL,
                                     env=dict(os.environ, **(env or {})))
        self.rc = None

    def lines(self):
        with open(self.out.name, "r", errors="replace") as f:
            return [l.rstrip("\r\n") for l in f]

    def last_progress(self):
        """(status, received, total) of the latest PROGRESS line, or None."""
        for l in reversed(self.lines()):
            if l.startswith("PROGRESS "):
                _, s, r, t = l.split()
                return int(s), int(r), int(t)
        return None

    def wait_until(self, pred, what):
        while time.monotonic() < self.deadline:
            if pred(self):
                return
            if self.proc.poll() is not None:
                raise AssertionError("dlget ended before %s: %s" % (what, self.lines()[-5:]))
            time.sleep(0.05)
        self.kill()
        raise AssertionError("timed out waiting for %s" % what)

    def wait(self):
        left = self.deadline - time.monotonic()
        try:
            self.rc = self.proc.wait(timeout=max(left, 1))
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("dlget did not end in time: %s" % self.lines()[-5:])
        return self.rc

    def kill(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGKILL)
            self.proc.wait(timeout=30)
        self.rc = self.proc.returncode

    def final(self):
        """The last line that is not a PROGRESS line."""
        for l in reversed(self.lines()):
            if not l.startswith("PROGRESS "):
                return l
        return ""

    def statuses(self):
        return [int(l.split()[1]) for l in self.lines() if l.startswith("PROGRESS ")]

    def close(self):
        self.kill()
        try:
            os.unlink(self.out.name)
        except OSError:
            pass


def dlget(*args, timeout=120, env=None):
    """Runs dlget to its end; returns the Run (rc, lines)."""
    r = Run([str(a) for a in args], timeout, env)
    r.wait()
    return r


class Record:
    """The work-file record "P.dl.cfg", as the engine writes it."""

    HEAD = struct.Struct("<4sIIQIIIIII")

    def __init__(self, raw):
        self.raw = raw
        (magic, self.version, size, self.total, self.flags, cch_url, cch_ref, cb_tag, cb_lm,
         n) = self.HEAD.unpack_from(raw, 0)
        assert magic == b"KVDL", magic
        assert size == len(raw), (size, len(raw))
        (crc,) = struct.unpack_from("<I", raw, len(raw) - 4)
        assert zlib.crc32(raw[:-4]) == crc, "record CRC"
        o = self.HEAD.size
        self.url = raw[o:o + 2 * cch_url].decode("utf-16-le")
        o += 2 * cch_url
        self.referrer = raw[o:o + 2 * cch_ref].decode("utf-16-le")
        o += 2 * cch_ref
        self.etag = raw[o:o + cb_tag].decode("latin-1")
        o += cb_tag
        self.last_modified = raw[o:o + cb_lm].decode("latin-1")
        o += cb_lm
        self.ranges = [struct.unpack_from("<QQ", raw, o + 16 * i) for i in range(n)]
        o += 16 * n
        self.mirrors = []
        self.expected = 0
        self.sha256 = None
        if self.version >= 2:
            (count,) = struct.unpack_from("<I", raw, o)
            o += 4
            for _ in range(count):
                (cch,) = struct.unpack_from("<I", raw, o)
                self.mirrors.append(raw[o + 4:o + 4 + 2 * cch].decode("utf-16-le"))
                o += 4 + 2 * cch
            (self.expected,) = struct.unpack_from("<Q", raw, o)
            if self.flags & 4:
                self.sha256 = raw[o + 8:o + 40].hex()

    @classmethod
    def load(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def claimed(self):
        return sum(e - b for b, e in self.ranges)


def check_claims(record, data_path, source):
    """Every byte the record claims is in the data file and equals the source's."""
    with open(data_path, "rb") as f:
        for b, e in record.ranges:
            f.seek(b)
            got = f.read(e - b)
            assert got == source[b:e], "claimed range %d-%d differs from the source" % (b, e)


def main(cases):
    """Runs the case named on the command line (or all), reporting the first failure."""
    names = sys.argv[1:] or list(cases)
    for name in names:
        t0 = time.monotonic()
        cases[name]()
        print("ok %s (%.1f s)" % (name, time.monotonic() - t0))


def asked_again(server, name, ranges):
    """Where requests for name started inside the ranges a record claims. What a server has
    sent says less: an open-ended answer fills the socket buffers beyond what the engine reads
    before it closes the connection."""
    starts = [int(r.split("=", 1)[1].split("-", 1)[0]) if r else 0
              for n, r, _ in list(server.requests) if n == name]
    return [x for x in starts if any(s <= x < e for s, e in ranges)]

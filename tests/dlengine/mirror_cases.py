"""End-to-end cases of DLEngine.dll's extended entry points, through dlget.exe under Wine
against fault servers: several mirrors at once (dead, missing, of another size, slow, added
later, vanished between runs), the expected size and SHA-256, verify-only tasks, and patience
through a server that goes away. Every finished file is compared with the source bytes.
Run one case: mirror_cases.py NAME."""
import os
import struct
import time
import zlib

import dltest
from dltest import MiB, FINISHED, RETRYING, VERIFYING, Record, dlget, pattern, Run
from engine_cases import Case, assert_failed, assert_finished, sha, stopped_at
from fault_server import FaultServer

# Nothing listens here: the last port of this build's range (no test starts a server on it).
DEAD_URL = "http://127.0.0.1:%d/f" % int(os.environ.get("KV_DEAD_PORT", "18649"))


def info_lines(run):
    out = []
    for l in run.lines():
        if l.startswith("INFO "):
            out.append(dict(kv.split("=") for kv in l.split()[1:]))
    return out


def mirrors():
    """Five addresses of one file: a port where nothing listens, a 404, a file of another size,
    a slow mirror and a good one. The download finishes from the usable ones; the bad ones get
    no part of the file."""
    with Case("mirrors") as c:
        data = pattern(24 * MiB, seed=21)
        c.srv.add("good", data)
        c.srv.add("slow", data, rate=1 * MiB)
        c.srv.add("odd", pattern(24 * MiB + 4096, seed=21))
        win, host = c.target()
        t0 = time.monotonic()
        run = dlget(DEAD_URL, win, "--mirror", c.srv.url("missing"), "--mirror", c.srv.url("good"),
                    "--mirror", c.srv.url("odd"), "--mirror", c.srv.url("slow"), timeout=90)
        assert_finished(run, host, data)
        took = time.monotonic() - t0
        names = [n for n, _, _ in c.srv.requests]
        assert "missing" in names and "odd" in names, "not every mirror was asked: %s" % sorted(set(names))
        assert c.srv.sent("good") >= len(data) // 2, "the good mirror served %d" % c.srv.sent("good")
        assert c.srv.sent("slow") > 0, "the slow mirror was never used"
        # The odd mirror is dropped at its first answer: at most one answer per connection.
        odd = [s for n, _, s in c.srv.requests if n == "odd"]
        assert len(odd) <= 8, "the mirror of another size kept being asked: %d requests" % len(odd)
        assert [s for n, _, s in c.srv.requests if n == "missing"] == [404], "the 404 mirror was asked again"
        assert info_lines(run)[-1]["mirrors"] in ("2", "3"), info_lines(run)[-1]
        print("mirrors: %.1f s, good %d, slow %d, odd %d bytes" % (took, c.srv.sent("good"), c.srv.sent("slow"),
                                                                   c.srv.sent("odd")))


def mirror_added():
    """A mirror added to a running task takes part of the work at once; a download stopped on a
    mirror that then vanishes resumes from a mirror given on resume, keeping its bytes; the
    record keeps the mirror list, and a record of the first format is still read."""
    with Case("added") as c:
        data = pattern(20 * MiB, seed=22)
        # Mirror a cuts every answer after 1 MiB: each new request picks the best mirror again.
        c.srv.add("a", data, rate=1 * MiB, drop_after=1 * MiB, drop_count=1000)
        other = FaultServer()
        try:
            other.add("b", data)
            win, host = c.target("added.bin")
            run = dlget(c.srv.url("a"), win, "--size", len(data), "--add-mirror-after", 2 * MiB, other.url("b"),
                        timeout=90)
            assert_finished(run, host, data)
            assert "ADDED 0" in run.lines(), run.lines()[-5:]
            assert other.sent("b") >= len(data) // 2, "the added mirror served only %d" % other.sent("b")

            # Stopped on mirror a (with a dead one known): the record names both and the checksum.
            c.srv.behaviour["a"].drop_count = 0
            win, host = c.target("resumed.bin")
            got = stopped_at(dlget("--stop-after", 4 * MiB, c.srv.url("a"), win, "--mirror", DEAD_URL,
                                   "--sha256", sha(data)))
            rec = Record.load(host + ".dl.cfg")
            assert rec.version == 2 and rec.url == c.srv.url("a") and rec.mirrors == [DEAD_URL], (rec.url, rec.mirrors)
            assert rec.sha256 == sha(data), rec.sha256
            claimed = rec.claimed()
            assert claimed > 0
            c.srv.go_away()
            other.reset_counts()
            run = dlget("--resume", win, "--mirror", other.url("b"), "--patience", 20000, timeout=90)
            assert_finished(run, host, data)
            again = dltest.asked_again(other, "b", rec.ranges)
            assert not again, "resume asked again from %s, inside the claimed %s" % (again, rec.ranges)
            print("added: stopped at %d, claimed %d, fetched %d on resume" % (got, claimed, other.sent("b")))

            # A record of the first format (one address, no mirror list) is read as before.
            c.srv.come_back()
            win, host = c.target("v1.bin")
            stopped_at(dlget("--stop-after", 3 * MiB, c.srv.url("a"), win))
            raw = open(host + ".dl.cfg", "rb").read()
            rec = Record(raw)
            core = len(raw) - 4 - (4 + sum(4 + 2 * len(m) for m in rec.mirrors) + 8 + 32)
            v1 = bytearray(raw[:core])
            struct.pack_into("<II", v1, 4, 1, core + 4)
            v1 += struct.pack("<I", zlib.crc32(bytes(v1)))
            open(host + ".dl.cfg", "wb").write(bytes(v1))
            c.srv.behaviour["a"].rate = None
            c.srv.reset_counts()
            run = dlget("--resume", win)
            assert_finished(run, host, data)
            again = dltest.asked_again(c.srv, "a", rec.ranges)
            assert not again, "a first-format record was not used: asked again from %s" % again
        finally:
            other.close()


def checksum():
    """The expected SHA-256: a match finishes after a visible verification; a mismatch leaves no
    file at the target and no work files; an expected size that the server does not have fails
    without a byte written; a verify-only task checks a file in place and never changes it."""
    with Case("checksum") as c:
        data = pattern(48 * MiB, seed=23)
        c.srv.add("f", data)
        win, host = c.target("ok.bin")
        run = dlget(c.srv.url("f"), win, "--sha256", sha(data).upper(), "--size", len(data), "--interval", 10)
        assert_finished(run, host, data)
        assert VERIFYING in run.statuses(), "no verifying status was shown"
        verified = [int(i["verified"]) for i in info_lines(run)]
        assert verified and max(verified) == len(data), verified[-3:]

        win, host = c.target("bad.bin")
        wrong = sha(data + b"x")
        run = dlget(c.srv.url("f"), win, "--sha256", wrong)
        assert_failed(run, host, dltest.DLE_CHECKSUM)
        assert not any(os.path.exists(host + s) for s in (".dl", ".dl.cfg", ".dl.new")), os.listdir(c.wd.host)

        win, host = c.target("size.bin")
        c.srv.reset_counts()
        run = dlget(c.srv.url("f"), win, "--size", len(data) + 1)
        assert_failed(run, host, dltest.DLE_SIZE_MISMATCH)
        asked = [r for n, r, _ in list(c.srv.requests) if n == "f"]
        assert len(asked) == 1, "a mirror of the wrong size was asked again: %s" % asked

        win, host = c.target("ok.bin")
        before = os.stat(host)
        run = dlget("--verify", win, "--sha256", sha(data), "--size", len(data))
        assert run.rc == 0 and run.final() == "FINISHED %d" % len(data), run.lines()[-5:]
        run = dlget("--verify", win, "--sha256", wrong)
        assert run.rc == 1 and run.final().startswith("FAILED %d " % dltest.DLE_CHECKSUM), run.lines()[-5:]
        run = dlget("--verify", win, "--sha256", sha(data), "--size", len(data) - 1)
        assert run.rc == 1 and run.final().startswith("FAILED %d " % dltest.DLE_SIZE_MISMATCH), run.lines()[-5:]
        after = os.stat(host)
        assert (before.st_size, before.st_mtime_ns) == (after.st_size, after.st_mtime_ns), "verify changed the file"
        assert dltest.sha256_file(host) == sha(data)


def outage():
    """The whole server goes away mid-download: back after 8 s the task finishes (patience
    30 s) and shows the retrying status meanwhile; gone for good it fails with the last fault's
    code once the patience (5 s) is spent."""
    with Case("outage") as c:
        data = pattern(16 * MiB, seed=24)
        c.srv.add("f", data, rate=1 * MiB)
        win, host = c.target("back.bin")
        run = Run([c.srv.url("f"), win, "--patience", "30000"], timeout=120)
        run.wait_until(lambda r: (r.last_progress() or (0, 0, 0))[1] >= 3 * MiB, "3 MiB")
        c.srv.go_away()
        gone = time.monotonic()
        run.wait_until(lambda r: RETRYING in r.statuses(), "the retrying status")
        while time.monotonic() - gone < 8:
            assert run.proc.poll() is None, run.lines()[-5:]
            time.sleep(0.2)
        c.srv.behaviour["f"].rate = None
        c.srv.come_back()
        run.wait()
        assert_finished(run, host, data)

        win, host = c.target("gone.bin")
        c.srv.behaviour["f"].rate = 1 * MiB
        run = Run([c.srv.url("f"), win, "--patience", "5000"], timeout=120)
        run.wait_until(lambda r: (r.last_progress() or (0, 0, 0))[1] >= 2 * MiB, "2 MiB")
        c.srv.go_away()
        gone = time.monotonic()
        run.wait()
        took = time.monotonic() - gone
        assert_failed(run, host, dltest.DLE_CONNECT)
        assert RETRYING in run.statuses(), "no retrying status before the failure"
        assert 5 <= took <= 30, "failed %.1f s after the server went away" % took
        assert os.path.exists(host + ".dl") and os.path.exists(host + ".dl.cfg"), "work files were not kept"


CASES = {f.__name__: f for f in (mirrors, mirror_added, checksum, outage)}

if __name__ == "__main__":
    dltest.main(CASES)

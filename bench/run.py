#!/usr/bin/env python3
"""Download benchmark: one file (1 GiB by default) served by nginx on 127.0.0.1, fetched by
our engine (dlget.exe under Wine), by aria2c -x8 -s8 and by curl, first unthrottled and then
with nginx limiting every connection to 8 MiB/s as mirrors do. Prints wall time, throughput,
CPU seconds (for the engine including the wineserver's) and the ratios to aria2c and curl.
Then three mirrors of a smaller file (512 MiB by default), each nginx allowing a client two
connections at 4 MiB/s each: our engine given all three addresses, aria2c given the same three,
and our engine given one. Then the downloaded file's SHA-256 verification, ours against
sha256sum (bench/verify.py).

    BUILD_DIR=build-xyz python3 bench/run.py [--size-mib 1024] [--mirror-size-mib 512] [--repeat 1]
                                             [--only single|mirrors] [--out-dir DIR]

Every tool writes to the same folder (a fresh folder in /dev/shm unless --out-dir names
one), which our engine reaches through a drive letter of a Wine prefix kept for the benchmark.
"""
import argparse
import hashlib
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(TOP, "tools"))
import nginx_serve  # noqa: E402
import wine_env  # noqa: E402

MiB = 1024 * 1024
RUN_TIMEOUT = 600
DRIVE = "b"


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(4 * MiB), b""):
            h.update(block)
    return h.hexdigest()


def proc_cpu(pid):
    """User + system CPU seconds of a live process (for the wineserver, not our child's rusage)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except OSError:
        return 0.0


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


class Wine:
    """A Wine prefix of the benchmark's own, a persistent wineserver we started, and a drive
    letter for the output folder."""

    def __init__(self, build_dir, out_dir):
        self.prefix = os.path.join(build_dir, "bench-wineprefix")
        self.arch = wine_env.arch(build_dir)
        self.env = wine_env.environ(dict(os.environ, WINEDEBUG="-all"), self.prefix, self.arch)
        subprocess.run([os.path.join(TOP, "tools", "wine-prefix.sh"), self.prefix], env=self.env, check=True,
                       timeout=300)
        self.server = subprocess.Popen([wine_env.wineserver(self.arch), "-f", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        # Wine's services start with the first program: not inside a measured run.
        subprocess.run([wine_env.wine(self.arch), "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.link = os.path.join(self.prefix, "dosdevices", DRIVE + ":")
        if os.path.lexists(self.link):
            os.unlink(self.link)
        os.symlink(out_dir, self.link)

    def close(self):
        if os.path.islink(self.link):
            os.unlink(self.link)
        subprocess.run([wine_env.wineserver(self.arch), "-k"], env=self.env, timeout=60, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        try:
            self.server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.server.send_signal(signal.SIGKILL)
            self.server.wait(timeout=30)


def timed(cmd, env=None, extra_cpu=None, output=False):
    """Runs cmd to its end; returns (wall seconds, CPU seconds), and what it printed when output."""
    cpu0 = children_cpu()
    extra0 = extra_cpu() if extra_cpu else 0.0
    t0 = time.monotonic()
    p = subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       timeout=RUN_TIMEOUT)
    wall = time.monotonic() - t0
    cpu = children_cpu() - cpu0 + ((extra_cpu() - extra0) if extra_cpu else 0.0)
    if p.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (cmd[0], p.returncode, p.stdout[-2000:]))
    return (wall, cpu, p.stdout.decode(errors="replace")) if output else (wall, cpu)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--repeat", type=int, default=1, help="runs per tool and mode; the median is shown")
    ap.add_argument("--out-dir", default=None)
    ap.add_argument("--mirror-size-mib", type=int, default=512)
    ap.add_argument("--only", choices=("single", "mirrors"), default=None)
    args = ap.parse_args()
    build_dir = os.path.abspath(os.environ.get("BUILD_DIR") or os.path.join(TOP, "build"))
    dlget = os.path.join(build_dir, "tools", "dlget", "dlget.exe")
    if not os.path.exists(dlget):
        sys.exit("no %s: build first" % dlget)
    for tool in ("nginx", "aria2c", "curl", "wine"):
        if not shutil.which(tool) and not os.path.exists("/usr/sbin/" + tool):
            sys.exit("%s is missing (tools/setup-deps.sh installs it)" % tool)

    base = tempfile.mkdtemp(prefix="kv-bench-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    www = os.path.join(base, "www")
    out = os.path.abspath(args.out_dir) if args.out_dir else os.path.join(base, "out")
    os.makedirs(www)
    os.makedirs(out, exist_ok=True)
    src = os.path.join(www, "image.bin")
    size_mib = args.mirror_size_mib if args.only == "mirrors" else args.size_mib
    print("writing a %d MiB file ..." % size_mib, flush=True)
    with open(src, "wb") as f:
        for _ in range(size_mib):
            f.write(os.urandom(MiB))
    want = sha256(src)
    size = os.path.getsize(src)

    wine = Wine(build_dir, out)
    target = os.path.join(out, "image.bin")
    results = []
    mirror_rows = []
    try:
        for label, limit in (("unthrottled", None), ("limit_rate 8m", "8m")):
            if args.only == "mirrors":
                break
            popen, port = nginx_serve.start(www, limit_rate=limit)
            url = "http://127.0.0.1:%d/image.bin" % port
            try:
                tools = (
                    ("engine", [os.path.join(TOP, "tools", "wine-run.sh"), dlget, "--quiet", "--interval", "20",
                                url, "%s:\\image.bin" % DRIVE.upper()], wine.env, lambda: proc_cpu(wine.server.pid)),
                    ("aria2c", ["aria2c", "-x8", "-s8", "-d", out, "-o", "image.bin", "--allow-overwrite=true",
                                "--auto-file-renaming=false", "--console-log-level=warn", "--summary-interval=0",
                                "--show-console-readout=false", url], None, None),
                    ("curl", ["curl", "-sS", "-f", "-o", target, url], None, None),
                )
                for name, cmd, env, extra in tools:
                    runs = []
                    for _ in range(args.repeat):
                        for leftover in os.listdir(out):
                            os.unlink(os.path.join(out, leftover))
                        wall, cpu = timed(cmd, env, extra)
                        if os.path.getsize(target) != size or sha256(target) != want:
                            raise RuntimeError("%s wrote a wrong file" % name)
                        runs.append((wall, cpu))
                        print("  %-14s %-7s %6.2f s  %5.2f CPU s" % (label, name, wall, cpu), flush=True)
                    runs.sort()
                    results.append((label, name) + runs[len(runs) // 2])
            finally:
                nginx_serve.stop(popen)
        if args.only != "single":
            if os.path.getsize(src) != args.mirror_size_mib * MiB:
                with open(src, "r+b") as f:
                    f.truncate(args.mirror_size_mib * MiB)
                want = sha256(src)
            mirror_rows = run_mirrors(args, dlget, wine, www, out, want)
        # The file the last download wrote, hashed by the engine's verifier and by sha256sum.
        import verify
        sha_repeat = max(3, args.repeat)
        sha_results = verify.rows(wine, out, "image.bin", sha_repeat)
    finally:
        wine.close()
        shutil.rmtree(base, ignore_errors=True)
        if args.out_dir and os.path.exists(target):
            os.unlink(target)

    print()
    if results:
        print("%d MiB over loopback, median of %d run(s) per tool" % (size // MiB, args.repeat))
        print("| mode | tool | seconds | MiB/s | CPU s | vs aria2c | vs curl |")
        print("|---|---|---:|---:|---:|---:|---:|")
    for label in ("unthrottled", "limit_rate 8m") if results else ():
        rows = {name: (wall, cpu) for l, name, wall, cpu in results if l == label}
        for name in ("engine", "aria2c", "curl"):
            wall, cpu = rows[name]
            print("| %s | %s | %.2f | %.0f | %.2f | %.2f | %.2f |" % (
                label, name, wall, size / MiB / wall, cpu, rows["aria2c"][0] / wall, rows["curl"][0] / wall))
    if mirror_rows:
        print()
        print("%d MiB from three mirrors (each: 2 connections per client, 4 MiB/s each), median of %d run(s)"
              % (args.mirror_size_mib, args.repeat))
        print("| tool | mirrors | seconds | MiB/s | CPU s | vs aria2c | vs engine, one mirror |")
        print("|---|---:|---:|---:|---:|---:|---:|")
        times = {name: wall for name, _, wall, _ in mirror_rows}
        for name, n, wall, cpu in mirror_rows:
            print("| %s | %d | %.2f | %.1f | %.2f | %.2f | %.2f |" % (
                name.split()[0], n, wall, args.mirror_size_mib / wall, cpu, times["aria2c"] / wall,
                times["engine 1"] / wall))
    print()
    print(verify.table(sha_results, os.path.getsize(src) if os.path.exists(src) else size, sha_repeat))
    return 0


MIRROR_RATE = "4m"
MIRROR_CONNS = 2


def run_mirrors(args, dlget, wine, www, out, want):
    """Three nginx mirrors of www/image.bin, each allowing a client MIRROR_CONNS connections at
    MIRROR_RATE: (name, mirrors, median wall, its CPU) for our engine with three, aria2c with
    three, and our engine with one."""
    servers = [nginx_serve.start(www, limit_rate=MIRROR_RATE, limit_conn=MIRROR_CONNS) for _ in range(3)]
    urls = ["http://127.0.0.1:%d/image.bin" % port for _, port in servers]
    target = os.path.join(out, "image.bin")
    win_target = "%s:\\image.bin" % DRIVE.upper()
    engine = [os.path.join(TOP, "tools", "wine-run.sh"), dlget, "--quiet", "--interval", "20"]
    mirrors = []
    for u in urls[1:]:
        mirrors += ["--mirror", u]
    tools = (
        ("engine 3", 3, engine + [urls[0]] + mirrors + [win_target], wine.env, lambda: proc_cpu(wine.server.pid)),
        ("aria2c", 3, ["aria2c", "-x%d" % MIRROR_CONNS, "-s%d" % (3 * MIRROR_CONNS), "-d", out, "-o", "image.bin",
                       "--allow-overwrite=true", "--auto-file-renaming=false", "--console-log-level=warn",
                       "--summary-interval=0", "--show-console-readout=false"] + urls, None, None),
        ("engine 1", 1, engine + [urls[0], win_target], wine.env, lambda: proc_cpu(wine.server.pid)),
    )
    rows = []
    try:
        for name, n, cmd, env, extra in tools:
            runs = []
            for _ in range(args.repeat):
                for leftover in os.listdir(out):
                    os.unlink(os.path.join(out, leftover))
                wall, cpu = timed(cmd, env, extra)
                if sha256(target) != want:
                    raise RuntimeError("%s wrote a wrong file" % name)
                runs.append((wall, cpu))
                print("  mirrors        %-8s %6.2f s  %5.2f CPU s" % (name, wall, cpu), flush=True)
            runs.sort()
            rows.append((name, n) + runs[len(runs) // 2])
    finally:
        for popen, _ in servers:
            nginx_serve.stop(popen)
    return rows


if __name__ == "__main__":
    sys.exit(main())

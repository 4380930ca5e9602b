#!/usr/bin/env python3
"""Runs Braskmir.exe under Wine the way the installer starts it (through restore_launch)
in prepared image folders on the prefix's C: drive, and checks its exit code, the line it
appends to restore.log, and that it changes nothing else in the folder.

run_restore.py --wine-run W --prefix P --tool EXE --launcher EXE GROUP"""
import argparse
import datetime
import os
import re
import shutil
import subprocess
import sys
import time

LINE_RE = re.compile(
    r'^(?P<time>\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) '
    r'cmdline=(?P<cmdline>"(?:[^"\\]|\\.)*") '
    r'folder=(?P<folder>"(?:[^"\\]|\\.)*") '
    r'image=(?P<image>\S+) size=(?P<size>\S+) marker=(?P<marker>\S+) '
    r'wait=(?P<wait>\d+)s result=(?P<result>.*)$')

XP_IMAGE = 4096 + 17   # an odd size, so a size from the wrong file would show


class Failure(Exception):
    pass


def check(cond, msg):
    if not cond:
        raise Failure(msg)


class Env:
    def __init__(self, args):
        self.args = args
        self.drive_c = os.path.join(args.prefix, "drive_c")
        self.root = os.path.join(self.drive_c, "kvrestore", f"{args.group}-{os.getpid()}")
        self.runs = 0
        self.launches = []

    def win(self, path):
        rel = os.path.relpath(path, self.drive_c)
        check(not rel.startswith(".."), f"{path} is not on drive C:")
        return "C:\\" + rel.replace("/", "\\")

    def folder(self, name, files=(), dirs=()):
        """A fresh folder with the tool and the given files ({name: size}) and folders."""
        path = os.path.join(self.root, name)
        os.makedirs(path)
        shutil.copy(self.args.tool, os.path.join(path, "Braskmir.exe"))
        for fname, size in dict(files).items():
            with open(os.path.join(path, fname), "wb") as f:
                f.write(b"\x5a" * size)
        for dname in dirs:
            os.makedirs(os.path.join(path, dname))
        return path

    def start(self, folder, mode="set", wait_env=None, tool=None):
        """Starts the launcher; its output goes to a file, since Wine's helper processes
        inherit and keep open any pipe they are given."""
        env = dict(os.environ)
        env.pop("KV_RESTORE_WAIT", None)
        if wait_env is not None:
            env["KV_RESTORE_WAIT"] = wait_env
        env["LC_ALL"] = "C.UTF-8"   # non-ASCII paths travel through Wine's argv
        tool = tool or os.path.join(folder, "Braskmir.exe")
        cmd = [self.args.wine_run, self.win(self.launcher), self.win(tool), mode]
        self.runs += 1
        out = open(os.path.join(self.root, f"launch-{self.runs}.out"), "w+b")
        launch = Launch(subprocess.Popen(cmd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                         stdin=subprocess.DEVNULL), out)
        self.launches.append(launch)
        return launch

    def run(self, folder, mode="set", wait_env=None, tool=None, limit=150):
        return self.start(folder, mode, wait_env, tool).finish(limit)

    def setup(self):
        subprocess.run([self.args.prefix_tool, self.args.prefix], check=True, timeout=600)
        os.makedirs(self.root)
        self.launcher = os.path.join(self.root, "restore_launch.exe")
        shutil.copy(self.args.launcher, self.launcher)

    def cleanup(self):
        # Removing the folders also removes any restore.wait, which ends a waiting tool.
        shutil.rmtree(self.root, ignore_errors=True)
        try:
            os.rmdir(os.path.dirname(self.root))   # only when no other run uses it
        except OSError:
            pass
        for launch in self.launches:
            if launch.running():
                try:
                    launch.proc.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    launch.proc.kill()


class Launch:
    """One running launcher; finish() waits (bounded) and returns (exit code, run ms)."""

    def __init__(self, proc, out):
        self.proc, self.out = proc, out

    def running(self):
        return self.proc.poll() is None

    def finish(self, limit):
        try:
            self.proc.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=30)
            raise Failure(f"launcher did not end within {limit} s")
        finally:
            self.out.seek(0)
            text = self.out.read()
            self.out.close()
        m = re.search(rb"exit=(\d+) ms=(\d+)", text)
        rc = self.proc.returncode
        check(m, f"launcher printed no result (rc {rc}): {text[-400:]!r}")
        code, ms = int(m.group(1)), int(m.group(2))
        check(code == rc, f"launcher exit {rc} differs from the tool's {code}")
        return code, ms


def snapshot(path):
    """Every entry below path with its kind, size, modification time and content hash."""
    state = {}
    for base, dirs, files in os.walk(path):
        for d in dirs:
            full = os.path.join(base, d)
            state[os.path.relpath(full, path)] = ("dir",)
        for f in files:
            full = os.path.join(base, f)
            st = os.stat(full)
            with open(full, "rb") as fh:
                state[os.path.relpath(full, path)] = ("file", st.st_size, st.st_mtime_ns, fh.read())
    return state


def log_lines(folder):
    path = os.path.join(folder, "restore.log")
    if not os.path.isfile(path):
        return []
    with open(path, "rb") as f:
        data = f.read()
    check(data.endswith(b"\r\n"), "restore.log does not end with CR LF")
    text = data.decode("utf-8")   # raises on anything but UTF-8
    return text.split("\r\n")[:-1]


def unquote(q):
    """Undoes the tool's C-style quoting."""
    body, out, i = q[1:-1], [], 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            n = body[i + 1]
            if n == "x":
                out.append(chr(int(body[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"r": "\r", "n": "\n", "t": "\t"}.get(n, n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def run_case(env, folder, mode="set", want_code=0, wait_env=None, tool=None):
    """Runs the tool once; checks the exit code, that exactly one new log line appeared
    and that nothing but restore.log changed. Returns the parsed new line."""
    before, lines_before = snapshot(folder), log_lines(folder)
    code, ms = env.run(folder, mode, wait_env, tool)
    check(code == want_code, f"exit code {code}, expected {want_code}")
    after, lines = snapshot(folder), log_lines(folder)
    check(lines[:len(lines_before)] == lines_before, "earlier log lines were changed")
    check(len(lines) == len(lines_before) + 1, f"{len(lines) - len(lines_before)} new log lines, expected 1")
    before.pop("restore.log", None)
    after.pop("restore.log", None)
    check(before == after, f"the folder changed: {sorted(set(before.items()) ^ set(after.items()), key=str)[:3]}")
    m = LINE_RE.match(lines[-1])
    check(m, f"log line has not the expected form: {lines[-1]!r}")
    fields = m.groupdict()
    logged = datetime.datetime.strptime(fields["time"], "%Y-%m-%d %H:%M:%S")
    check(abs((logged - datetime.datetime.now()).total_seconds()) < 600, f"logged time {fields['time']} is not now")
    fields["cmdline"] = unquote(fields["cmdline"])
    fields["folder"] = unquote(fields["folder"])
    fields["ms"] = ms
    check(fields["folder"] == env.win(folder), f"logged folder {fields['folder']!r}")
    return fields


def expect(fields, **want):
    for k, v in want.items():
        check(fields[k] == v, f"{k} = {fields[k]!r}, expected {v!r}")


def expect_failed(fields, *reasons):
    res = fields["result"]
    check(res.startswith("failed: "), f"result {res!r} does not say failed")
    got = res[len("failed: "):].split("; ")
    check(got == list(reasons), f"reasons {got}, expected {list(reasons)}")


# ---- groups ---------------------------------------------------------------------------

def group_good(env):
    xp = env.folder("good-xp", {"xp.vex": XP_IMAGE, "xp.cfg": 0})
    f = run_case(env, xp)
    expect(f, cmdline=" /set", image="xp.vex", size=str(XP_IMAGE), marker="xp.cfg", wait="0", result="ok")

    # The marker decides the kind, not which images happen to lie there.
    w7 = env.folder("good-win7", {"win7u32.vex": 70000, "xp.vex": 10, "win7.cfg": 0})
    f = run_case(env, w7)
    expect(f, image="win7u32.vex", size="70000", marker="win7.cfg", result="ok")

    # A second run appends below the first; non-ASCII folder names are logged in UTF-8.
    cn = env.folder("镜像-ghofile", {"xp.vex": 1, "xp.cfg": 0})
    first = run_case(env, cn)
    second = run_case(env, cn)
    expect(first, folder=env.win(cn), result="ok", size="1")
    expect(second, result="ok")
    check(len(log_lines(cn)) == 2, "two runs did not give two lines")


def group_command_line(env):
    folder = env.folder("cmd", {"xp.vex": XP_IMAGE, "xp.cfg": 0})
    bad = 'command line is not " /set"'
    for mode, logged in (("text:/set", "/set"), ("text: /SET", " /SET"), ("text: /set ", " /set "),
                         ("text: /set x", " /set x")):
        f = run_case(env, folder, mode, want_code=2)
        expect(f, cmdline=logged, image="xp.vex", size=str(XP_IMAGE), marker="xp.cfg")
        expect_failed(f, bad)
    # Without a command line of its own (or with an empty one, which Wine replaces by the
    # path) the tool sees its path, as after a double-click.
    for mode in ("none", "text:"):
        f = run_case(env, folder, mode, want_code=2)
        check("braskmir.exe" in f["cmdline"].lower(), f"cmdline {f['cmdline']!r} lacks the path")
        expect_failed(f, bad)
    # Quotes and control characters stay on one line, escaped.
    f = run_case(env, folder, 'text: /set "a\\b"\tc', want_code=2)
    expect(f, cmdline=' /set "a\\b"\tc')
    check('\\"a\\\\b\\"\\t' in log_lines(folder)[-1], "quote, backslash and tab are not escaped")


def group_markers(env):
    none = env.folder("no-marker", {"xp.vex": XP_IMAGE, "win7u32.vex": 5})
    f = run_case(env, none, want_code=2)
    expect(f, image="-", size="-", marker="-")
    expect_failed(f, "neither xp.cfg nor win7.cfg exists")

    both = env.folder("both-markers", {"xp.vex": XP_IMAGE, "xp.cfg": 0, "win7.cfg": 0})
    f = run_case(env, both, want_code=2)
    expect(f, image="-", marker="-")
    expect_failed(f, "both xp.cfg and win7.cfg exist")

    # A folder named like a marker is not a marker; the other, real one still decides.
    fold = env.folder("marker-folder", {"win7u32.vex": 9, "win7.cfg": 0}, dirs=["xp.cfg"])
    f = run_case(env, fold, want_code=2)
    expect(f, image="win7u32.vex", size="9", marker="win7.cfg")
    expect_failed(f, "xp.cfg is a folder, not a marker file")

    # Several broken promises are all named, in order.
    multi = env.folder("multi", {"xp.vex": 3})
    f = run_case(env, multi, "text:/set", want_code=2)
    expect_failed(f, 'command line is not " /set"', "neither xp.cfg nor win7.cfg exists")


def group_image(env):
    missing = env.folder("image-missing", {"win7u32.vex": XP_IMAGE, "xp.cfg": 0})
    f = run_case(env, missing, want_code=2)
    expect(f, image="xp.vex", size="-", marker="xp.cfg")
    expect_failed(f, "image xp.vex is not in the tool's folder")

    empty = env.folder("image-empty", {"win7u32.vex": 0, "win7.cfg": 0})
    f = run_case(env, empty, want_code=2)
    expect(f, image="win7u32.vex", size="0", marker="win7.cfg")
    expect_failed(f, "image win7u32.vex is empty")

    fold = env.folder("image-folder", {"xp.cfg": 0}, dirs=["xp.vex"])
    f = run_case(env, fold, want_code=2)
    expect(f, image="xp.vex", size="-")
    expect_failed(f, "image xp.vex is a folder")

    # The tool started from another folder than the image's: it looks in its own folder
    # only, finds nothing there and logs there; the image folder stays untouched.
    images = env.folder("image-folder-proper", {"xp.vex": XP_IMAGE, "xp.cfg": 0})
    elsewhere = env.folder("tool-elsewhere")
    before = snapshot(images)
    f = run_case(env, elsewhere, want_code=2, tool=os.path.join(elsewhere, "Braskmir.exe"))
    expect_failed(f, "neither xp.cfg nor win7.cfg exists")
    check(snapshot(images) == before, "the other folder changed")


def group_log(env):
    # A log that cannot be written is a failure even when every promise holds.
    folder = env.folder("log-blocked", {"xp.vex": XP_IMAGE, "xp.cfg": 0}, dirs=["restore.log"])
    before = snapshot(folder)
    code, _ = env.run(folder)
    check(code == 2, f"exit code {code} with an unwritable log, expected 2")
    check(snapshot(folder) == before, "the folder changed")

    # An existing log (written by someone else, without a final line end) is appended to.
    folder = env.folder("log-existing", {"xp.vex": XP_IMAGE, "xp.cfg": 0})
    with open(os.path.join(folder, "restore.log"), "wb") as f:
        f.write(b"earlier line\r\n")
    f = run_case(env, folder)
    expect(f, result="ok")
    check(log_lines(folder)[0] == "earlier line", "the earlier line was lost")


def group_wait(env):
    # Environment variable: a fixed stay, logged.
    folder = env.folder("wait-env", {"xp.vex": XP_IMAGE, "xp.cfg": 0})
    f = run_case(env, folder, wait_env="2")
    expect(f, wait="2", result="ok")
    check(2000 <= f["ms"] < 20000, f"ran {f['ms']} ms with a 2 s wait")
    f = run_case(env, folder, wait_env="soon")
    expect(f, wait="0")
    check(f["ms"] < 20000, f"ran {f['ms']} ms without a wait")

    # File: a stay of its value that ends as soon as the file is deleted; a huge value is
    # cut to 600 s. The log line is written before the stay, so it shows the tool running.
    folder = env.folder("wait-file", {"win7u32.vex": 8, "win7.cfg": 0, "restore.wait": 0})
    with open(os.path.join(folder, "restore.wait"), "w") as fh:
        fh.write("99999\n")
    launch = env.start(folder)
    deadline = time.monotonic() + 120
    while not log_lines(folder) and time.monotonic() < deadline:
        time.sleep(0.2)
    lines = log_lines(folder)
    check(len(lines) == 1, "no log line while the tool waits")
    m = LINE_RE.match(lines[0])
    check(m and m.group("wait") == "600" and m.group("result") == "ok", f"line {lines[0]!r}")
    check(launch.running(), "the tool ended although restore.wait is still there")
    os.remove(os.path.join(folder, "restore.wait"))
    code, ms = launch.finish(30)   # far below the 600 s stay: the deletion ended it
    check(code == 0, f"exit code {code} after the wait")

    # An empty wait file means the default stay.
    folder = env.folder("wait-default", {"xp.vex": XP_IMAGE, "xp.cfg": 0, "restore.wait": 0})
    launch = env.start(folder)
    deadline = time.monotonic() + 120
    while not log_lines(folder) and time.monotonic() < deadline:
        time.sleep(0.2)
    m = LINE_RE.match((log_lines(folder) or [""])[0])
    os.remove(os.path.join(folder, "restore.wait"))
    launch.finish(30)
    check(m and m.group("wait") == "60", f"empty wait file gave {m and m.group('wait')}")


GROUPS = {"good": group_good, "command_line": group_command_line, "markers": group_markers,
          "image": group_image, "log": group_log, "wait": group_wait}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--prefix-tool", required=True)
    ap.add_argument("--tool", required=True)
    ap.add_argument("--launcher", required=True)
    ap.add_argument("group", choices=sorted(GROUPS))
    args = ap.parse_args()
    env = Env(args)
    env.setup()
    try:
        GROUPS[args.group](env)
    except Failure as e:
        print(f"FAIL [{args.group}]: {e}")
        return 1
    finally:
        env.cleanup()
    print(f"restore group {args.group}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""End-to-end test harness: drives real Windows programs of this build under Wine on the
test session's X display, with drives, servers and processes that it undoes at exit.

Tests run inside tools/test-session.sh (private Xvfb, persistent wineserver). Standard
library only; X input and pictures go through xdotool and ImageMagick.

    with kvtest.Env() as env:
        env.map_drive("d", size_mb=2048)
        env.serve_catalogue(["http://127.0.0.1:%d/xp.img" % port], [])
        proc = env.start(env.korvane_exe())
        xid = env.find_window("Vantoir")
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(TOP, "tools")
DEFAULT_CATALOGUE_PORT = 18517


def log(msg):
    sys.stderr.write("[kvtest] %s\n" % msg)
    sys.stderr.flush()


class Env(object):
    """One test's world. Everything it sets up is undone by close() (or the with block)."""

    def __init__(self):
        self.build_dir = os.path.abspath(os.environ["BUILD_DIR"])
        self.prefix = os.path.abspath(os.environ.get("KV_WINEPREFIX")
                                      or os.path.join(self.build_dir, "wineprefix"))
        self.display = os.environ.get("DISPLAY")
        self.artifacts = os.path.join(self.build_dir, "artifacts")
        self._drives = {}        # letter -> (host_dir, mounted, old link target or None)
        self._procs = []         # Popen objects started by start()
        self._servers = []       # (stop function, handle)
        self._locks = []         # open lock files
        self._png_cache = {}
        self._tmp = tempfile.mkdtemp(prefix="kvtest-")
        self._closed = False

    # ----- life cycle -----------------------------------------------------------------
    def __enter__(self):
        subprocess.run([os.path.join(TOOLS, "wine-prefix.sh"), self.prefix], check=True,
                       env=self.wine_environ(), timeout=300)
        self._remove_z()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self._closed:
            return
        self._closed = True
        for proc in reversed(self._procs):
            self._end_tree(proc.pid)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        for stop, handle in reversed(self._servers):
            try:
                stop(handle)
            except Exception as e:  # clean-up goes on with the rest
                log("server stop failed: %s" % e)
        self.unmap_drives()
        for f in self._locks:
            f.close()
        shutil.rmtree(self._tmp, ignore_errors=True)

    def wine_environ(self):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.prefix, KV_WINEPREFIX=self.prefix, WINEARCH="win32")
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=")
        return env

    # ----- drives and paths -----------------------------------------------------------
    def _dosdevices(self):
        return os.path.join(self.prefix, "dosdevices")

    def _remove_z(self):
        z = os.path.join(self._dosdevices(), "z:")
        if os.path.lexists(z):
            os.remove(z)

    def map_drive(self, letter, size_mb=None):
        """Makes <letter>: a fresh, empty folder (a tmpfs of size_mb MiB when given)."""
        letter = letter.lower().rstrip(":")
        assert len(letter) == 1 and "c" < letter <= "y", "drive letter %r not allowed" % letter
        if letter in self._drives:
            self._unmap(letter)
        host = os.path.join(self.build_dir, "e2e-drives", letter)
        _umount_all(host)
        shutil.rmtree(host, ignore_errors=True)
        os.makedirs(host)
        mounted = False
        if size_mb is not None:
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % int(size_mb), "tmpfs", host],
                           check=True, timeout=30)
            mounted = True
        link = os.path.join(self._dosdevices(), letter + ":")
        old = os.readlink(link) if os.path.islink(link) else None
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(host, link)
        self._drives[letter] = (host, mounted, old)
        return host

    def _unmap(self, letter):
        host, mounted, old = self._drives.pop(letter)
        link = os.path.join(self._dosdevices(), letter + ":")
        if os.path.lexists(link):
            os.remove(link)
        if old is not None:
            os.symlink(old, link)
        if mounted:
            _umount_all(host)
        shutil.rmtree(host, ignore_errors=True)

    def unmap_drives(self):
        for letter in list(self._drives):
            self._unmap(letter)
        self._remove_z()

    def host_path(self, win_path):
        """Host path of a Windows path on a drive of this prefix (C: or a mapped drive)."""
        m = re.match(r"^([A-Za-z]):[\\/]?(.*)$", win_path)
        assert m, "not a drive path: %r" % win_path
        link = os.path.join(self._dosdevices(), m.group(1).lower() + ":")
        root = os.path.realpath(link)
        rest = [p for p in re.split(r"[\\/]+", m.group(2)) if p]
        return os.path.join(root, *rest) if rest else root

    def temp_dir_host(self):
        """Host path of the prefix user's %TEMP%."""
        temp = None
        try:
            with open(os.path.join(self.prefix, "user.reg"), encoding="utf-8", errors="replace") as f:
                section = None
                for line in f:
                    if line.startswith("["):
                        section = line.split("]")[0][1:]
                    elif section == "Environment" and line.upper().startswith('"TEMP"='):
                        temp = line.split("=", 1)[1].strip().strip('"').replace("\\\\", "\\")
        except OSError:
            pass
        user = os.environ.get("USER") or _user_name()
        if temp:
            temp = temp.replace("%USERPROFILE%", "C:\\users\\" + user)
            return self.host_path(temp)
        return os.path.join(self.prefix, "drive_c", "users", user, "Temp")

    # ----- servers --------------------------------------------------------------------
    def serve(self, root, limit_rate=None, port=None):
        """nginx on 127.0.0.1 serving root; returns the port."""
        popen, port = _nginx_serve().start(root, port=port, limit_rate=limit_rate)
        self._servers.append((_nginx_serve().stop, popen))
        return port

    def catalogue_port(self):
        """The port of the compiled-in catalogue host (KORVANE_CATALOGUE_HOST)."""
        try:
            with open(os.path.join(self.build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
                for line in f:
                    if line.startswith("KORVANE_CATALOGUE_HOST:"):
                        host = line.split("=", 1)[1].strip()
                        return int(host.rsplit(":", 1)[1]) if ":" in host else 80
        except OSError:
            pass
        return DEFAULT_CATALOGUE_PORT

    def reserve_catalogue_port(self, timeout=240):
        """Takes this machine's lock on the catalogue port (other build trees use the same
        port) until close(). serve_catalogue() calls it; a test that needs the port unused
        (server unreachable) calls it itself."""
        port = self.catalogue_port()
        if any(getattr(f, "kv_port", None) == port for f in self._locks):
            return port
        f = open(os.path.join(tempfile.gettempdir(), "kv-catalogue-%d.lock" % port), "w")
        end = time.time() + timeout
        while True:
            try:
                fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except OSError:
                if time.time() > end:
                    f.close()
                    raise AssertionError("catalogue port %d stayed locked for %ds" % (port, timeout))
                time.sleep(0.5)
        f.kv_port = port
        self._locks.append(f)
        return port

    def serve_catalogue(self, xp_urls, win7_urls, extra_text=None):
        """Serves vantoir.ini on the compiled-in catalogue port; returns the served folder.
        A list gives a section with urlcount and url1..N; None leaves the section out."""
        port = self.reserve_catalogue_port()
        root = tempfile.mkdtemp(prefix="catalogue-", dir=self._tmp)
        lines = []
        for name, urls in (("WINXP", xp_urls), ("WIN7", win7_urls)):
            if urls is None:
                continue
            lines.append("[%s]" % name)
            lines.append("urlcount=%d" % len(urls))
            lines += ["url%d=%s" % (i + 1, u) for i, u in enumerate(urls)]
        text = "\r\n".join(lines) + ("\r\n" if lines else "")
        if extra_text:
            text += extra_text
        with open(os.path.join(root, "vantoir.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.chmod(root, 0o755)
        self.serve(root, port=port)
        return root

    # ----- programs -------------------------------------------------------------------
    def korvane_exe(self):
        return os.path.join(self.build_dir, "app", "Korvane.exe")

    def install_exe(self, exe, name=None):
        """Copies a host exe to C:\\kvtest\\ so that it runs from a plain drive path (Wine
        gives programs outside every drive odd \\\\?\\unix paths); returns the Windows path."""
        name = name or os.path.basename(exe)
        folder = os.path.join(self.prefix, "drive_c", "kvtest")
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, name)
        if not os.path.exists(target) or not _same_file(exe, target):
            tmp = target + ".new"
            shutil.copyfile(exe, tmp)
            try:
                os.replace(tmp, target)
            except OSError:
                os.remove(tmp)
                raise
        return "C:\\kvtest\\" + name

    def start(self, exe, args=(), cwd_win=None):
        """Starts exe (a host path, or a Windows path like C:\\...) under Wine; returns the Popen."""
        if not re.match(r"^[A-Za-z]:\\", exe):
            exe = self.install_exe(exe)
        cwd = self.host_path(cwd_win) if cwd_win else self.host_path("C:\\")
        out = open(os.path.join(self._tmp, "proc-%d.log" % len(self._procs)), "w")
        proc = subprocess.Popen([os.path.join(TOOLS, "wine-run.sh"), exe] + list(args),
                                cwd=cwd, env=self.wine_environ(), stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        out.close()
        self._procs.append(proc)
        log("started %s %s as pid %d" % (exe, " ".join(args), proc.pid))
        return proc

    def wait_exit(self, proc, timeout):
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("pid %d did not end within %ss" % (proc.pid, timeout))

    def output(self, proc):
        """What a program started by start() has written to its standard streams so far
        (Wine's debug channels included)."""
        path = os.path.join(self._tmp, "proc-%d.log" % self._procs.index(proc))
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def stop(self, proc):
        """Ends a started program and what it started, by pid."""
        self._end_tree(proc.pid)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass

    def _end_tree(self, pid):
        for p in reversed([pid] + _descendants(pid)):
            try:
                os.kill(p, signal.SIGKILL)
            except OSError:
                pass

    # ----- X display ------------------------------------------------------------------
    def _xdotool(self, *args, timeout=15):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True,
                           timeout=timeout)
        return r.stdout

    def find_window(self, title, timeout=20, visible_only=True):
        """First X window titled exactly title, or None after timeout seconds."""
        args = ["search"] + (["--onlyvisible"] if visible_only else []) + ["--name", "^%s$" % re.escape(title)]
        end = time.time() + timeout
        while True:
            ids = self._xdotool(*args).split()
            if ids:
                return int(ids[0])
            if time.time() >= end:
                return None
            time.sleep(0.2)

    def windows_of(self, proc, visible_only=True):
        """X windows that belong to the started program (by its pid)."""
        args = ["search"] + (["--onlyvisible"] if visible_only else []) + ["--pid", proc.pid]
        return [int(x) for x in self._xdotool(*args).split()]

    def window_title(self, xid):
        return self._xdotool("getwindowname", xid).rstrip("\n")

    def window_geometry(self, xid):
        out = self._xdotool("getwindowgeometry", "--shell", xid)
        v = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    # No "--sync" on moves: xdotool waits for a motion that never comes when the pointer
    # already is at the spot.
    def click(self, xid, x, y, button=1, double=False):
        self._xdotool("mousemove", "--window", xid, x, y)
        time.sleep(0.1)
        self._xdotool("click", "--repeat", 2 if double else 1, "--delay", 80, button)
        time.sleep(0.1)

    def key(self, xid, keys):
        self._xdotool("windowfocus", xid)
        time.sleep(0.1)
        self._xdotool("key", "--clearmodifiers", keys)
        time.sleep(0.1)

    def drag(self, xid, x0, y0, x1, y1, steps=10):
        self._xdotool("mousemove", "--window", xid, x0, y0)
        time.sleep(0.1)
        self._xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            self._xdotool("mousemove", "--window", xid, x0 + (x1 - x0) * i // steps,
                          y0 + (y1 - y0) * i // steps)
            time.sleep(0.03)
        self._xdotool("mouseup", 1)
        time.sleep(0.1)

    def screenshot(self, path, xid=None):
        """Saves the screen (or the window's area of it) as PNG under $BUILD_DIR/artifacts/."""
        if not os.path.isabs(path):
            path = os.path.join(self.artifacts, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        cmd = ["import", "-window", "root"]
        if xid is not None:
            x, y, w, h = self.window_geometry(xid)
            cmd += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
        subprocess.run(cmd + [path], check=True, timeout=30)
        self._png_cache.pop(path, None)
        return path

    def pixel(self, png, x, y):
        w, h, data = self._rgb(png)
        assert 0 <= x < w and 0 <= y < h, "(%d, %d) outside %dx%d" % (x, y, w, h)
        i = (y * w + x) * 3
        return data[i], data[i + 1], data[i + 2]

    def _rgb(self, png):
        if png not in self._png_cache:
            size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True,
                                  text=True, check=True, timeout=30).stdout.split()
            raw = subprocess.run(["convert", png, "-alpha", "off", "-depth", "8", "rgb:-"],
                                 capture_output=True, check=True, timeout=30).stdout
            self._png_cache[png] = (int(size[0]), int(size[1]), raw)
        return self._png_cache[png]

    # ----- waiting --------------------------------------------------------------------
    def wait_for(self, pred, timeout, interval=0.2, what=None):
        """Polls pred until it returns a true value (which is returned); raises at timeout."""
        end = time.time() + timeout
        while True:
            v = pred()
            if v:
                return v
            if time.time() >= end:
                raise AssertionError("timed out after %ss waiting for %s" % (timeout, what or pred))
            time.sleep(interval)


# ----- helpers ----------------------------------------------------------------------------
def _user_name():
    import pwd
    return pwd.getpwuid(os.getuid()).pw_name


def _same_file(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def _umount_all(path):
    real = os.path.realpath(path)
    for _ in range(5):
        with open("/proc/mounts") as f:
            if not any(l.split()[1] == real for l in f):
                return
        subprocess.run(["umount", real], timeout=30)
    subprocess.run(["umount", "-l", real], timeout=30)


def _descendants(pid):
    children = {}
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % d) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(d))
    out, todo = [], [pid]
    while todo:
        for c in children.get(todo.pop(), []):
            out.append(c)
            todo.append(c)
    return out


def _nginx_serve():
    """tools/nginx_serve.py, the shared loopback nginx helper."""
    if TOOLS not in sys.path:
        sys.path.insert(0, TOOLS)
    import nginx_serve
    return nginx_serve

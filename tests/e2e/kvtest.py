"""End-to-end test harness: drives real Windows programs of this build under Wine on the
test session's X display, with drives, servers and processes that it undoes at exit.

Tests run inside tools/test-session.sh (private Xvfb, persistent wineserver). Standard
library only; X input and pictures go through xdotool and ImageMagick, and every command
the harness runs has its exit status checked. Waits are for conditions (a window, a file,
a pixel, a log line, a connection) and bounded.

    with kvtest.Env() as env:
        env.map_drive("d", size_mb=2048)
        env.serve_catalogue(["http://127.0.0.1:%d/xp.img" % port], [])
        proc = env.start(env.korvane_exe())
        xid = env.main_window(proc)

A script that cannot run in this build calls kvtest.skip(reason): CTest counts it skipped.
"""
import fcntl
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(TOP, "tools")
sys.path.insert(0, TOOLS)
import wine_env  # noqa: E402
DEFAULT_CATALOGUE_PORT = 18517
SKIP_RETURN_CODE = 77           # SKIP_RETURN_CODE of every end-to-end test (kv_add_e2e)
SCREEN_W, SCREEN_H = 1280, 1024  # the test session's Xvfb screen
# Where the pointer rests between actions: a corner that no window of the tests covers
# (the main window and the boxes are centred, the notification area is top left).
PARK_POINT = (SCREEN_W - 6, SCREEN_H - 6)
TRAY_TITLE = "Wine System Tray"
MAIN_TITLE = "Vantoir"            # the main dialog's caption
# What start-up writes into its private folder under %TEMP%: the engine library, its zlib
# and the catalogue copy.
PAYLOADS = ("DLEngine.dll", "ZLib1.dll")
CATALOGUE = "vantoir.ini"
PRIVATE_FOLDER_RE = re.compile(r"^kv-[0-9a-f]{32}$")
ENGINE_RES_ID = 257


def log(msg):
    sys.stderr.write("[kvtest] %s\n" % msg)
    sys.stderr.flush()


def skip(reason):
    """Ends the script as skipped: it cannot run in this build or on this machine."""
    print("SKIPPED: %s" % reason)
    sys.stdout.flush()
    raise SystemExit(SKIP_RETURN_CODE)


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
        self._server_ports = {}  # id(handle): port
        self._access_logs = {}   # port -> nginx access log path
        self._locks = []         # open lock files
        self._png_cache = {}
        # The harness's own screenshots (hover looks, the tray), kept per script.
        self._shots = os.path.join("kvtest", os.path.splitext(os.path.basename(sys.argv[0]))[0] or "interactive")
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
        # A program ended by a kill leaves its payloads in %TEMP%, where other tests'
        # library searches would find them.
        if self._procs:
            try:
                self.clear_temp()
            except OSError as e:
                log("clearing %%TEMP%% failed: %s" % e)
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
        return wine_env.environ(os.environ, self.prefix, wine_env.arch(self.build_dir))

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
        if old == host:
            old = None      # left by a test that was ended before it could unmap
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

    def clear_temp(self):
        """Removes what an earlier start-up left in %TEMP% (payloads, catalogue copy, the
        private folders), in any letter case; returns the folder. Wine does not enforce the
        private folders' access rights, so the host can remove them."""
        temp = self.temp_dir_host()
        wanted = {n.lower() for n in PAYLOADS + (CATALOGUE,)}
        for name in os.listdir(temp):
            if name.lower() in wanted:
                os.remove(os.path.join(temp, name))
        for folder in self.private_folders():
            shutil.rmtree(os.path.join(temp, folder), ignore_errors=True)
        return temp

    def private_folders(self):
        """Names of the installer's private folders (kv-<32 hex digits>) now in %TEMP%."""
        return sorted(n for n in os.listdir(self.temp_dir_host()) if PRIVATE_FOLDER_RE.match(n)
                      and os.path.isdir(os.path.join(self.temp_dir_host(), n)))

    def temp_files(self):
        """Names of the payload and catalogue files now in %TEMP% or in a private folder
        there (any letter case)."""
        wanted = {n.lower() for n in PAYLOADS + (CATALOGUE,)}
        temp = self.temp_dir_host()
        names = [n for n in os.listdir(temp) if n.lower() in wanted]
        for folder in self.private_folders():
            names += [n for n in os.listdir(os.path.join(temp, folder)) if n.lower() in wanted]
        return sorted(names)

    def temp_payloads(self):
        """Names of the payload libraries now in %TEMP%."""
        wanted = {n.lower() for n in PAYLOADS}
        return [n for n in self.temp_files() if n.lower() in wanted]

    # ----- servers --------------------------------------------------------------------
    def serve(self, root, limit_rate=None, port=None, access_log=False):
        """nginx on 127.0.0.1 serving root; returns the port. With access_log, every
        request is logged (access_log_entries reads the log)."""
        log_path = os.path.join(self._tmp, "access-%d.log" % len(self._server_ports)) if access_log else None
        popen, port = _nginx_serve().start(root, port=port, limit_rate=limit_rate, access_log=log_path)
        self._servers.append((_nginx_serve().stop, popen))
        self._server_ports[id(popen)] = port
        if log_path:
            self._access_logs[port] = log_path
        return port

    def stop_server(self, port):
        """Stops the server serve() started on port (serve(root, port=port) starts it again)."""
        for i, (stop, handle) in enumerate(self._servers):
            if self._server_ports.get(id(handle)) == port:
                stop(handle)
                del self._servers[i]
                return
        raise AssertionError("no server of this test on port %d" % port)

    def access_log_entries(self, port, path=None):
        """The requests the server on port has logged (finished or broken off), optionally
        only those for path; see tools/nginx_serve.py read_access_log."""
        entries = _nginx_serve().read_access_log(self._access_logs[port])
        return [e for e in entries if path is None or e["path"] == path]

    def connected_to(self, port):
        """TRUE when a TCP connection to 127.0.0.1:port is established (from any process)."""
        want = "0100007F:%04X" % port
        with open("/proc/net/tcp") as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                if fields[2] == want and fields[3] == "01":
                    return True
        return False

    def catalogue_port(self):
        """The port of the compiled-in catalogue host (KORVANE_CATALOGUE_HOST)."""
        with open(os.path.join(self.build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("KORVANE_CATALOGUE_HOST:"):
                    host = line.split("=", 1)[1].strip()
                    return int(host.rsplit(":", 1)[1]) if ":" in host else 80
        return DEFAULT_CATALOGUE_PORT

    def reserve_catalogue_port(self, timeout=240):
        """Takes this machine's lock on the catalogue port (other build trees may use the
        same port) until close(). serve_catalogue() calls it; a test that needs the port
        unused (server unreachable) calls it itself."""
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

    def serve_catalogue(self, xp_urls, win7_urls, extra_text=None, access_log=False, keys=None):
        """Serves vantoir.ini on the compiled-in catalogue port; returns the served folder.
        A list gives a section with urlcount and url1..N; None leaves the section out.
        keys adds keys per section: {"WINXP": {"sha256": "..."}}."""
        port = self.reserve_catalogue_port()
        root = tempfile.mkdtemp(prefix="catalogue-", dir=self._tmp)
        self.rewrite_catalogue(root, xp_urls, win7_urls, extra_text, keys)
        os.chmod(root, 0o755)
        self.serve(root, port=port, access_log=access_log)
        return root

    def rewrite_catalogue(self, root, xp_urls, win7_urls, extra_text=None, keys=None):
        """Writes the catalogue that serve_catalogue serves from root (again)."""
        lines = []
        for name, urls in (("WINXP", xp_urls), ("WIN7", win7_urls)):
            if urls is None:
                continue
            lines.append("[%s]" % name)
            lines.append("urlcount=%d" % len(urls))
            lines += ["url%d=%s" % (i + 1, u) for i, u in enumerate(urls)]
            lines += ["%s=%s" % kv for kv in sorted((keys or {}).get(name, {}).items())]
        text = "\r\n".join(lines) + ("\r\n" if lines else "")
        if extra_text:
            text += extra_text
        path = os.path.join(root, "vantoir.ini")
        with open(path + ".new", "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.chmod(path + ".new", 0o644)
        os.replace(path + ".new", path)

    # ----- programs -------------------------------------------------------------------
    def korvane_exe(self):
        return os.path.join(self.build_dir, "app", "Korvane.exe")

    def test_program(self, folder, name):
        """A program this build makes for the tests (tests/<folder>/<name>)."""
        path = os.path.join(self.build_dir, "tests", folder, name)
        assert os.path.exists(path), "test program %s was not built" % path
        return path

    def carries_engine(self):
        """TRUE when this build's Korvane.exe carries the engine library (BIN 257)."""
        return bin_resource(self.korvane_exe(), ENGINE_RES_ID) is not None

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

    def start(self, exe, args=(), cwd_win=None, extra_env=None):
        """Starts exe (a host path, or a Windows path like C:\\...) under Wine; returns the Popen."""
        if not re.match(r"^[A-Za-z]:\\", exe):
            exe = self.install_exe(exe)
        cwd = self.host_path(cwd_win) if cwd_win else self.host_path("C:\\")
        environ = self.wine_environ()
        environ.update(extra_env or {})
        out = open(os.path.join(self._tmp, "proc-%d.log" % len(self._procs)), "w")
        proc = subprocess.Popen([os.path.join(TOOLS, "wine-run.sh"), exe] + list(args),
                                cwd=cwd, env=environ, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        out.close()
        self._procs.append(proc)
        log("started %s %s as pid %d" % (exe, " ".join(args), proc.pid))
        return proc

    def adopt(self, pid):
        """Takes a process that a started program started (and left) into this Env, so that
        close() ends it; returns an object with pid and poll()."""
        proc = _Adopted(pid)
        self._procs.append(proc)
        return proc

    def pids_running(self, host_exe):
        """Unix pids of the processes that run the program file host_exe (Wine maps a
        program's file into its process; its command line need not name it)."""
        want = os.path.realpath(host_exe)
        pids = []
        for d in os.listdir("/proc"):
            if not d.isdigit():
                continue
            try:
                with open("/proc/%s/maps" % d) as f:
                    if any(line.rstrip("\n").endswith(" " + want) for line in f):
                        pids.append(int(d))
            except OSError:
                continue
        return pids

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

    def watch_until_exit(self, proc, timeout=60):
        """Waits for proc to end, noting every window it shows meanwhile; returns (exit
        code, the set of its windows seen)."""
        shown = set()
        end = time.time() + timeout
        while proc.poll() is None and time.time() < end:
            shown.update(self.windows_of(proc))
            time.sleep(0.1)
        return self.wait_exit(proc, 5), shown

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
    def xdotool(self, *args, timeout=15):
        """Runs xdotool; a failure raises. A search that finds nothing gives ""."""
        r = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True,
                           timeout=timeout)
        if r.returncode != 0:
            if args and args[0] == "search" and r.returncode == 1 and not r.stdout.strip():
                return ""
            raise AssertionError("xdotool %s failed with %d: %s"
                                 % (" ".join(str(a) for a in args), r.returncode, r.stderr.strip()))
        return r.stdout

    def find_window(self, title, timeout=20, visible_only=True):
        """First X window titled exactly title, or None after timeout seconds."""
        args = ["search"] + (["--onlyvisible"] if visible_only else []) + ["--name", "^%s$" % re.escape(title)]
        end = time.time() + timeout
        while True:
            ids = self.xdotool(*args).split()
            if ids:
                return int(ids[0])
            if time.time() >= end:
                return None
            time.sleep(0.2)

    def visible_windows(self, title=None):
        """Visible X windows (titled exactly title when given)."""
        args = ["search", "--onlyvisible", "--name", "^%s$" % re.escape(title) if title is not None else ""]
        return [int(x) for x in self.xdotool(*args).split()]

    def is_visible(self, xid, title):
        return xid in self.visible_windows(title)

    def windows_of(self, proc, visible_only=True):
        """X windows that belong to the started program (by its pid)."""
        args = ["search"] + (["--onlyvisible"] if visible_only else []) + ["--pid", proc.pid]
        return [int(x) for x in self.xdotool(*args).split()]

    def window_title(self, xid):
        return self.xdotool("getwindowname", xid).rstrip("\n")

    def _title_or_none(self, xid):
        # The window may be gone between the search and this question.
        try:
            return self.window_title(xid)
        except AssertionError:
            return None

    def main_window(self, proc, timeout=60, what="the main window"):
        """The visible main window of the started program proc (by its pid: a killed earlier
        copy's window may linger on the display); after timeout seconds raises with what
        the program shows or did instead (see describe)."""
        def shown():
            for xid in self.windows_of(proc):
                if self._title_or_none(xid) == MAIN_TITLE:
                    return xid
            return None
        return self.wait_for(shown, timeout, what=what, about=proc)

    def describe(self, proc):
        """What a started program is up to, for a failure message: running or its exit
        code, its windows, every visible window, the Windows programs running, the drive
        letters the prefix maps, the requests this test's logging servers saw, a screenshot
        and the end of its output."""
        lines = []
        try:
            self._describe(proc, lines)
        except Exception as e:  # the failure being described matters more
            lines.append("(describing failed: %r)" % e)
        return "\n".join(lines)

    def _describe(self, proc, lines):
        rc = proc.poll()
        lines.append("pid %d %s" % (proc.pid, "still runs" if rc is None else "ended with %s" % rc))
        mine = []
        for x in self.windows_of(proc, visible_only=False):
            t = self._title_or_none(x)
            if t is not None:
                mine.append("%d %r%s" % (x, t, "" if self.is_visible(x, t) else " (hidden)"))
        lines.append("its windows: %s" % (", ".join(mine) or "none"))
        shown = [(x, self._title_or_none(x)) for x in self.visible_windows()]
        lines.append("visible windows: %s" % (", ".join("%d %r" % xt for xt in shown) or "none"))
        lines.append("Windows programs running: %s" % (", ".join(_wine_programs()) or "none"))
        lines.append("drives: %s" % (", ".join(self._drive_states()) or "none"))
        for port in sorted(self._access_logs):
            got = ["%s %s %d" % (e["method"], e["path"], e["status"]) for e in self.access_log_entries(port)]
            lines.append("requests on port %d: %s" % (port, ", ".join(got) or "none"))
        try:
            lines.append("screen: %s" % self.screenshot(os.path.join(self._shots, "failure-%d.png" % proc.pid)))
        except (AssertionError, subprocess.SubprocessError, OSError) as e:
            lines.append("no screenshot: %s" % e)
        if proc in self._procs and not isinstance(proc, _Adopted):
            lines.append("its output (end):\n" + self.output(proc)[-3000:])

    def _drive_states(self):
        """"x: -> target (free MiB)" of each drive link in the prefix."""
        states = []
        for name in sorted(os.listdir(self._dosdevices())):
            link = os.path.join(self._dosdevices(), name)
            if len(name) != 2 or not os.path.islink(link):
                continue
            target = os.readlink(link)
            try:
                st = os.statvfs(link)
                free = "%d MiB free" % (st.f_bavail * st.f_frsize >> 20)
            except OSError as e:
                free = "unreadable: %s" % e.strerror
            states.append("%s -> %s (%s)" % (name, target, free))
        return states

    def window_geometry(self, xid):
        out = self.xdotool("getwindowgeometry", "--shell", xid)
        v = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    # No "--sync" on moves (xdotool then waits for a motion event that never comes when the
    # pointer already is at the spot): the pointer's position is read back instead.
    def move_pointer(self, x, y):
        """Moves the pointer to the screen point (x, y) and makes sure it got there."""
        self.xdotool("mousemove", x, y)
        self.wait_for(lambda: self.pointer() == (x, y), 5, interval=0.05,
                      what="the pointer at %d,%d" % (x, y))

    def move_pointer_in(self, xid, x, y):
        """Moves the pointer to the point (x, y) of the window's client area."""
        wx, wy, _, _ = self.window_geometry(xid)
        self.move_pointer(wx + x, wy + y)

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        v = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(v["X"]), int(v["Y"])

    def park_pointer(self):
        self.move_pointer(*PARK_POINT)

    def click(self, xid, x, y, button=1, double=False):
        """A click at the window point (x, y), for places that take a click without first
        showing a hover look (pictures, labels, the background)."""
        self.move_pointer_in(xid, x, y)
        self.xdotool("click", "--repeat", 2 if double else 1, "--delay", 80, button)

    def hover(self, xid, x, y, box=None, rest=None, timeout=10):
        """Brings the pointer from its parking place onto the window point (x, y) and waits
        until the window shows its hover look there: the area box (x0, y0, x1, y1, window
        coordinates; default a few pixels around the point) differs from how it looked
        with the pointer away. As the window handles input in order, the look also shows
        that every earlier input has been taken. rest is a point of the window where no
        element is, for a window whose elements keep their hover look when the pointer
        jumps out of it (the message box): passing over it first resets the look."""
        box = box or (x - 8, y - 5, x + 9, y + 6)
        if rest is not None:
            self.move_pointer_in(xid, *rest)
        self.park_pointer()
        # A hover look of an earlier visit goes with the element manager's next tick.
        state = {"last": None, "n": 0}

        def settled():
            state["n"] += 1
            png = self.window_shot(xid, os.path.join(self._shots, "hover-away-%d.png" % (state["n"] % 2)))
            last, state["last"] = state["last"], png
            return png if last and not self.differs(last, png, box, tol=8) else None
        away = self.wait_for(settled, timeout, interval=0.1, what="the look at %d,%d without the pointer" % (x, y))
        # The pointer arrives from just above, as a hand does: the element sees it enter.
        self.move_pointer_in(xid, x, max(0, y - 6))
        self.move_pointer_in(xid, x, y)
        self.wait_for(lambda: self.differs(away, self.window_shot(xid, os.path.join(self._shots, "hover-on.png")),
                                           box, tol=8),
                      timeout, interval=0.1, what="the hover look at %d,%d" % (x, y))

    def click_button(self, xid, x, y, box=None, rest=None):
        """Clicks a button or link at the window point (x, y) as a user does: only once it
        shows that it sees the pointer (buttons act on a press they saw the pointer for)."""
        self.hover(xid, x, y, box, rest)
        self.xdotool("click", "--delay", 80, 1)

    def input_barrier(self, xid, x, y, box=None, rest=None):
        """Waits until the window has taken every input sent so far: hovers the button at
        (x, y) until it shows so, then parks the pointer again."""
        self.hover(xid, x, y, box, rest)
        self.park_pointer()

    def key(self, xid, keys):
        self.xdotool("windowfocus", "--sync", xid)
        self.xdotool("key", "--clearmodifiers", keys)

    def drag(self, xid, x0, y0, x1, y1, steps=10):
        """Presses at the window point (x0, y0), moves to (x1, y1) (window coordinates at
        the start) and releases."""
        wx, wy, _, _ = self.window_geometry(xid)
        self.drag_screen(wx + x0, wy + y0, x1 - x0, y1 - y0, steps)

    def drag_screen(self, sx, sy, dx, dy, steps=10):
        """Presses at the screen point (sx, sy), moves by (dx, dy) in steps and releases."""
        self.move_pointer(sx, sy)
        self.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            self.move_pointer(sx + dx * i // steps, sy + dy * i // steps)
        self.xdotool("mouseup", 1)

    def screenshot(self, path, xid=None):
        """Saves the screen (or the window's area of it) as PNG under $BUILD_DIR/artifacts/."""
        if not os.path.isabs(path):
            path = os.path.join(self.artifacts, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        cmd = ["import", "-window", "root"]
        if xid is not None:
            x, y, w, h = self.window_geometry(xid)
            cmd += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
        subprocess.run(cmd + [path], check=True, timeout=30, capture_output=True)
        self._png_cache.pop(path, None)
        return path

    def window_shot(self, xid, name):
        """Screenshot of the window's area under $BUILD_DIR/artifacts/ (pointer where it is)."""
        return self.screenshot(name, xid)

    def wait_painted(self, xid, name, timeout=30):
        """Waits until the window shows a settled picture: two screenshots in a row alike
        and not of one colour; returns the last one's path (pointer parked)."""
        self.park_pointer()
        state = {"last": None}

        def settled():
            png = self.window_shot(xid, name)
            w, h, data = self._rgb(png)
            last, state["last"] = state["last"], data
            if data[:3] * (w * h) == data:
                return None
            return png if last == data else None
        return self.wait_for(settled, timeout, interval=0.1, what="a settled picture of window %d" % xid)

    def pixel(self, png, x, y):
        w, h, data = self._rgb(png)
        assert 0 <= x < w and 0 <= y < h, "(%d, %d) outside %dx%d" % (x, y, w, h)
        i = (y * w + x) * 3
        return data[i], data[i + 1], data[i + 2]

    def differs(self, png_a, png_b, box, tol=8, step=1):
        """TRUE when the two screenshots differ anywhere in box (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box
        for y in range(y0, y1, step):
            for x in range(x0, x1, step):
                if _far(self.pixel(png_a, x, y), self.pixel(png_b, x, y), tol):
                    return True
        return False

    def picture(self, png):
        """(width, height, rgb bytes) of a screenshot."""
        return self._rgb(png)

    def _rgb(self, png):
        if png not in self._png_cache:
            size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True,
                                  text=True, check=True, timeout=30).stdout.split()
            raw = subprocess.run(["convert", png, "-alpha", "off", "-depth", "8", "rgb:-"],
                                 capture_output=True, check=True, timeout=30).stdout
            self._png_cache[png] = (int(size[0]), int(size[1]), raw)
        return self._png_cache[png]

    # ----- notification area ----------------------------------------------------------
    # Wine's own tray window: a row of square slots (its height), white where no icon is.
    def tray_window(self, timeout=20):
        xid = self.find_window(TRAY_TITLE, timeout=timeout)
        assert xid is not None, "no notification area window"
        return xid

    def _tray_icons(self, tray):
        """Screen centres of the tray's occupied slots, left to right."""
        x, y, w, h = self.window_geometry(tray)
        png = self.screenshot(os.path.join(self._shots, "tray.png"), tray)
        centres = []
        for slot in range(w // h):
            x0 = slot * h
            if any(self.pixel(png, px, py) != (255, 255, 255)
                   for py in range(2, h - 2) for px in range(x0 + 2, x0 + h - 2)):
                centres.append((x + x0 + h // 2, y + h // 2))
        return centres

    def tray_icon(self, timeout=30):
        """Screen centre of the one icon in the notification area. An icon that a killed
        program left is removed by Wine when the pointer passes over it, so the pointer
        passes over every icon until one is left; a second live icon fails the test."""
        tray = self.tray_window()
        state = {"icons": []}

        def one_icon():
            self.park_pointer()
            icons = state["icons"] = self._tray_icons(tray)
            if len(icons) == 1:
                return icons[0]
            for cx, cy in icons:
                self.move_pointer(cx, cy)
            return None
        try:
            return self.wait_for(one_icon, timeout, interval=0.3, what="one icon in the notification area")
        finally:
            self.park_pointer()

    def tray_click(self, proc, double=False):
        """Clicks (or double-clicks) the program's icon in the notification area."""
        x, y = self.tray_icon()
        self.move_pointer(x, y)
        self.xdotool("click", "--repeat", 2 if double else 1, "--delay", 80, 1)
        self.park_pointer()

    def tray_menu(self, proc, item):
        """Opens the program's icon menu with a right click (the menu must be a window of
        proc) and clicks item 1 ("点我恢复") or 2 ("点我退出") of its two, once it shows that
        item under the pointer."""
        before = set(self.windows_of(proc))
        x, y = self.tray_icon()
        self.move_pointer(x, y)
        self.xdotool("click", 3)
        menu = self.wait_for(lambda: [w for w in self.windows_of(proc)
                                      if w not in before and self.window_title(w) == ""], 15,
                             what="the icon menu of pid %d" % proc.pid)[0]
        mx, my, mw, mh = self.window_geometry(menu)
        self.screenshot(os.path.join(self._shots, "tray_menu.png"))
        iy = mh * (2 * item - 1) // 4
        self.hover(menu, mw // 2, iy, box=(4, iy - 3, mw - 4, iy + 3))
        self.xdotool("click", 1)
        self.park_pointer()
        self.wait_for(lambda: menu not in self.windows_of(proc), 15, what="the icon menu closed")
        return mx, my, mw, mh

    def exit_via_tray(self, proc, timeout=30):
        """Ends the program with its icon menu's "点我退出"; returns its exit code."""
        self.tray_menu(proc, 2)
        return self.wait_exit(proc, timeout)

    # ----- waiting --------------------------------------------------------------------
    def wait_for(self, pred, timeout, interval=0.2, what=None, about=None):
        """Polls pred until it returns a true value (which is returned); raises at timeout,
        saying what the started program about (by default the one started last) is up to."""
        end = time.time() + timeout
        while True:
            v = pred()
            if v:
                return v
            if time.time() >= end:
                about = about or (self._procs[-1] if self._procs else None)
                raise AssertionError("timed out after %ss waiting for %s%s"
                                     % (timeout, what or pred, "\n" + self.describe(about) if about else ""))
            time.sleep(interval)


class _Adopted(object):
    """A process this Env did not start itself but ends at close (see Env.adopt)."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

    def poll(self):
        return None if os.path.exists("/proc/%d" % self.pid) and not _zombie(self.pid) else 0

    def wait(self, timeout):
        end = time.time() + timeout
        while self.poll() is None:
            if time.time() >= end:
                raise subprocess.TimeoutExpired("pid %d" % self.pid, timeout)
            time.sleep(0.1)
        return None


# ----- program images ---------------------------------------------------------------------
def bin_resource(exe, res_id):
    """Where the "BIN" resource res_id lies in the PE file exe: (file offset of its data
    entry, file offset of its data, size), or None when the program carries none."""
    with open(exe, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "%s is no PE file" % exe
    sections, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    assert magic in (0x10B, 0x20B), "%s is no Windows program" % exe
    # The data directories follow the optional header's fixed part: 96 bytes in a 32-bit
    # program, 112 in a 64-bit one (of a test build).
    res_rva = struct.unpack_from("<I", data, opt + (96 if magic == 0x10B else 112) + 2 * 8)[0]
    if res_rva == 0:
        return None
    table = [struct.unpack_from("<IIII", data, opt + opt_size + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for vsize, va, raw_size, raw in table:
            if va <= rva < va + max(vsize, raw_size):
                return rva - va + raw
        raise AssertionError("RVA %#x outside every section of %s" % (rva, exe))
    base = offset(res_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                n = struct.unpack_from("<H", data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = data[start:start + 2 * n].decode("utf-16-le")
            yield name, target

    for type_name, type_dir in entries(0):
        if type_name != "BIN":
            continue
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            if name != res_id:
                continue
            for _, leaf in entries(name_dir & 0x7FFFFFFF):
                entry = base + leaf
                rva, size = struct.unpack_from("<II", data, entry)
                return entry, offset(rva), size
    return None


# ----- helpers ----------------------------------------------------------------------------
def _far(a, b, tol=24):
    return any(abs(p - q) > tol for p, q in zip(a, b))


def _user_name():
    import pwd
    return pwd.getpwuid(os.getuid()).pw_name


def _same_file(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def _wine_programs():
    """"pid name.exe (CPU seconds)" of each running Windows program and wineserver: which
    of them is busy when a wait runs out."""
    found = []
    tick = os.sysconf("SC_CLK_TCK")
    for d in sorted(os.listdir("/proc"), key=lambda x: (len(x), x)):
        if not d.isdigit() or _zombie(int(d)):
            continue
        try:
            with open("/proc/%s/cmdline" % d, "rb") as f:
                argv = f.read().decode("utf-8", "replace").split("\0")
            with open("/proc/%s/stat" % d) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        names = [a for a in argv if a.lower().endswith(".exe")] or [a for a in argv[:1] if "wineserver" in a]
        if names:
            cpu = (int(fields[11]) + int(fields[12])) / float(tick)
            found.append("%s %s (%.1f s)" % (d, names[0].replace("\\", "/").rsplit("/", 1)[-1], cpu))
    return found


def _zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


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

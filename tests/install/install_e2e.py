"""Steps of the installation end-to-end tests: served images and catalogue, the installer
started and its window found, the layout's places, the progress bar read from screenshots,
what the run leaves on the drives, and the registry's install date. Pointer, clicks, the
notification area and %TEMP% are kvtest's."""
import hashlib
import os
import random
import socket
import subprocess
import sys
import time

import kvtest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import resource_ids  # noqa: E402
import startup_common  # noqa: E402

_SKIN = resource_ids.skin_pictures()


def _centre(x, y, picture):
    """The centre of a picture element placed at client (x, y): one frame of the picture."""
    _, _, cx, cy = _SKIN[picture]
    return (x + cx // 2, y + cy // 2)


# Client points of the layout (centres of the elements).
INSTALL_BUTTON = _centre(332, 380, "IDB_BTN_INSTALL")
XP_PICTURE = _centre(116, 250, "IDB_LOGO_XP")
WIN7_PICTURE = _centre(455, 250, "IDB_LOGO_WIN7")
WIN7_LABEL = (625 + 15, 300 + 8)
WIN7_RADIO = _centre(595, 300, "IDB_RADIO")
XP_RADIO = _centre(255, 300, "IDB_RADIO")
CHECKBOX = _centre(350, 460, "IDB_CHECK")
MIN_BUTTON = _centre(741, 1, "IDB_BTN_MIN")
MAX_BUTTON = _centre(775, 1, "IDB_BTN_MAX")
CLOSE_BUTTON = _centre(809, 1, "IDB_BTN_CLOSE")
SITE_LINK = (750 + 20, 145 + 8)
MIN_INSTALL_LINK = (750 + 25, 500 + 8)
BACKGROUND = (60, 420)
SLOGAN = (186 + 100, 500 + 7)
STEPS_BOX = (20, 182, 463, 215)       # the step indicator of the download page
STATUS_BOX = (214, 340, 600, 356)     # the status line
SPEED_BOX = (634, 317, 760, 333)      # the speed line
DETAIL_BOX = (214, 362, 640, 378)     # received/total and time left, reconnecting, verifying
RADIOS_BOX = (250, 295, 615, 320)
PROGRESS_Y = 317 + 6                  # a row of the bar's track/fill band
PROGRESS_X0, PROGRESS_X1 = 214, 214 + 412
# Links show their hover colour in their text, not around their centre point.
LINK_BOXES = {SITE_LINK: (750, 145, 790, 161), MIN_INSTALL_LINK: (750, 500, 800, 516)}
# The status lines take 1.2 s, the first poll of the download comes 4096 ms after them.
FIRST_POLL_S = 1.2 + 4.096
POLL_S = 4.096


def image_bytes(size, seed):
    return random.Random(seed).randbytes(size)


class Served(object):
    """An image folder on nginx (every request logged) and the addresses of its images."""

    def __init__(self, env, images, limit_rate=None):
        self.root = os.path.join(env.build_dir, "e2e-served")
        if os.path.isdir(self.root):
            for n in os.listdir(self.root):
                os.remove(os.path.join(self.root, n))
        else:
            os.makedirs(self.root)
        self.files = {}
        for name, (size, seed) in images.items():
            data = image_bytes(size, seed)
            with open(os.path.join(self.root, name), "wb") as f:
                f.write(data)
            self.files[name] = data
        os.chmod(self.root, 0o755)
        self.env = env
        self.port = env.serve(self.root, limit_rate=limit_rate, access_log=True)

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.port, name)

    def requests(self, name):
        """The finished or broken-off requests for the image name (see kvtest)."""
        return self.env.access_log_entries(self.port, "/" + name)


def start_installer(env, extra_env=None):
    """Starts Korvane.exe and returns (proc, xid of its main window, painted)."""
    proc = env.start(env.korvane_exe(), extra_env=extra_env)
    # By pid: a killed earlier copy's window may linger on the display for a while.
    xid = env.main_window(proc)
    env.wait_painted(xid, "main_window_first_paint.png")
    return proc, xid


def is_visible(env, xid):
    return env.is_visible(xid, kvtest.MAIN_TITLE)


def wait_hidden(env, xid, timeout=30, what="the window hidden"):
    env.wait_for(lambda: not is_visible(env, xid), timeout, what=what)


def wait_shown(env, xid, timeout=30, what="the window shown"):
    env.wait_for(lambda: is_visible(env, xid), timeout, what=what)


def shot(env, xid, name):
    env.park_pointer()
    return env.window_shot(xid, name)


def click(env, xid, point):
    """A click on a picture, label, radio or the checkbox: these take it without a hover look."""
    env.click(xid, *point)
    env.park_pointer()


def press(env, xid, point):
    """A click on a button or link, once it shows that it sees the pointer."""
    env.click_button(xid, point[0], point[1], LINK_BOXES.get(point))
    env.park_pointer()


def barrier(env, xid):
    """Waits until the window has taken all input so far (the minimise button's hover)."""
    env.input_barrier(xid, *MIN_BUTTON)


def press_install(env, xid, name="after_install.png"):
    """Clicks the install button and waits for the download page (its step indicator);
    returns that first screenshot of it, taken during the status lines, before the first
    poll: its progress bar is the empty bar (progress_fill's reference)."""
    before = shot(env, xid, "before_install.png")
    env.hover(xid, *INSTALL_BUTTON)
    clicked = time.time()
    env.xdotool("click", "--delay", 80, 1)
    env.park_pointer()
    after = env.wait_for(lambda: _if_differs(env, before, shot(env, xid, name), STEPS_BOX), 20,
                         interval=0.1, what="the download page after the install click")
    took = time.time() - clicked
    assert took < FIRST_POLL_S, "the download page was seen %.1f s after the click, after the first poll" % took
    return after


def _if_differs(env, a, b, box):
    return b if env.differs(a, b, box) else None


def progress_fill(env, png, empty_png):
    """How far, in pixels from the bar's left end, the bar differs from the empty bar of
    empty_png (a screenshot taken at 0 %)."""
    n = 0
    for x in range(PROGRESS_X0 + 1, PROGRESS_X1 - 1):
        if kvtest._far(env.pixel(png, x, PROGRESS_Y), env.pixel(empty_png, x, PROGRESS_Y)):
            n = x - PROGRESS_X0
    return n


def differs(env, png_a, png_b, box):
    """TRUE when the two screenshots differ anywhere in box (x0, y0, x1, y1)."""
    return env.differs(png_a, png_b, box, step=2)


def ghofile(env, letter):
    return env.host_path(letter + ":\\ghofile")


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def bytes_on_disk(path):
    """Bytes the file really holds: the engine sizes its work file at once and fills it
    in as data arrives, and on the test drives (tmpfs) only written pages take room."""
    try:
        return os.stat(path).st_blocks * 512
    except FileNotFoundError:
        return 0


def restore_log_lines(env, letter):
    path = os.path.join(ghofile(env, letter), "restore.log")
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [l.rstrip("\r\n") for l in f if l.strip()]


def wait_image(env, letter, name, timeout):
    path = os.path.join(ghofile(env, letter), name)
    env.wait_for(lambda: restore_log_lines(env, letter), timeout, interval=0.5,
                 what="the restore tool's log on %s:" % letter)
    return path


def assert_handed_over(env, data, timeout, letter="d", name="xp.vex"):
    """The road's end: the restore tool ran once, content, on an image that is data."""
    path = wait_image(env, letter, name, timeout)
    lines = restore_log_lines(env, letter)
    assert len(lines) == 1 and "result=ok" in lines[0], lines
    assert read_file(path) == data, "the handed-over image is not the served one"
    return path


def exit_when_hidden(env, proc, xid):
    """After the hand-off the window hides; the tray's exit then ends the program with 0."""
    wait_hidden(env, xid)
    assert env.exit_via_tray(proc) == 0


def text_extent(env, png, y0, y1, x0=1, x1=849):
    """Leftmost and rightmost columns in rows y0..y1 with dark (text) pixels."""
    left, right = None, None
    for y in range(y0, y1):
        for x in range(x0, x1):
            r, g, b = env.pixel(png, x, y)
            if r + g + b < 300:
                left = x if left is None or x < left else left
                right = x if right is None or x > right else right
    return left, right


def window_origin(env, xid):
    x, y, _, _ = env.window_geometry(xid)
    return x, y


INSTALL_DATE_KEY = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"


# Once in CI a whole-key query ended with 1 right after an add had succeeded, with no
# concurrent writer of the key; it did not come back here in hundreds of runs. Calls that
# may be repeated are, each failure logged with what Wine and reg printed.
REG_ATTEMPTS = 3


def _reg(env, *args, attempts=1):
    """Runs Wine's reg.exe in the test prefix: (exit code, stdout, stderr) of the last try."""
    for attempt in range(1, attempts + 1):
        r = subprocess.run([os.path.join(env.build_dir, "wine-run.sh"), "reg"] + list(args),
                           env=env.wine_environ(), capture_output=True, text=True, timeout=120)
        if r.returncode == 0 or attempt == attempts:
            return r.returncode, r.stdout, r.stderr
        kvtest.log("reg %s ended with %d (try %d of %d): %r %r"
                   % (args[0], r.returncode, attempt, attempts, r.stdout.strip(), r.stderr.strip()))


def write_install_date(env, seconds):
    """Sets HKLM InstallDate (or removes it with None) in the test prefix, and checks that
    the registry now holds exactly that."""
    if seconds is None:
        # reg delete fails when the value is missing already: what counts is the outcome.
        _reg(env, "delete", INSTALL_DATE_KEY, "/v", "InstallDate", "/f")
    else:
        rc, out, err = _reg(env, "add", INSTALL_DATE_KEY, "/v", "InstallDate", "/t", "REG_DWORD",
                            "/d", str(seconds), "/f", attempts=REG_ATTEMPTS)
        assert rc == 0, "reg add InstallDate ended with %d: %r %r" % (rc, out, err)
    got = read_install_date(env)
    assert got == seconds, "InstallDate is %r after writing %r" % (got, seconds)


def read_install_date(env):
    """The InstallDate value (seconds), or None when the registry holds none."""
    rc, out, err = _reg(env, "query", INSTALL_DATE_KEY, attempts=REG_ATTEMPTS)
    assert rc == 0, "reg query of the CurrentVersion key ended with %d: %r %r" % (rc, out[-500:], err)
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == "InstallDate" and parts[1] == "REG_DWORD":
            return int(parts[2], 0)
    return None


# The download failure boxes, by the installer's cause numbers (install/DownloadFailure.h).
CAUSE_MIRRORS_GONE, CAUSE_NETWORK, CAUSE_CHECKSUM = 0, 1, 2


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def xp_checked_by(data):
    """Catalogue keys that give the XP image's size and SHA-256 as those of data."""
    return {"WINXP": {"size": str(len(data)), "sha256": sha256_hex(data)}}


def closed_port():
    """A loopback port nothing listens on (taken from the system and released)."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def failure_box(env, proc, before, timeout, name):
    """Waits for a window of proc that was not there before (the failure box) and returns
    (its xid, its settled picture)."""
    box = env.wait_for(lambda: ([w for w in env.windows_of(proc) if w not in before] or [None])[0], timeout,
                       interval=0.2, what="the failure box")
    assert env.window_title(box) == "", "the box has a title: %r" % env.window_title(box)
    return box, env.picture(env.wait_painted(box, name))


def assert_failure_box(env, picture, cause, name):
    """The installer's box is the one the reference program draws with that cause's texts."""
    ref = startup_common.reference_box(env, "download", name, [str(cause)])
    startup_common.assert_same_picture(picture, ref, "failure box of cause %d" % cause)


def close_box(env, proc, box):
    """Closes the box with its close button and waits until it is gone."""
    startup_common.close_box(env, box)
    env.wait_for(lambda: box not in env.windows_of(proc), 20, what="the failure box closed")


def is_orange(rgb):
    r, g, b = rgb
    return r > 200 and 90 < g < 170 and b < 80


def orange_in(env, png, box):
    x0, y0, x1, y1 = box
    return any(is_orange(env.pixel(png, x, y)) for y in range(y0, y1) for x in range(x0, x1, 2))

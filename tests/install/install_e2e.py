"""Shared steps of the installation end-to-end tests: served images and catalogue, the
installer started and its window found, clicks at the layout's places, the notification
area icon and its menu, and what the run leaves on the drives and in %TEMP%."""
import os
import random
import subprocess
import sys
import time

import kvtest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import resource_ids  # noqa: E402

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
STEPS = (20 + 200, 182 + 16)
PROGRESS_Y = 317 + 6          # a row of the bar's track/fill band
PROGRESS_X0, PROGRESS_X1 = 214, 214 + 412

PAYLOADS = ("DLEngine.dll", "ZLib1.dll")
TRAY_TITLE = "Wine System Tray"


def image_bytes(size, seed):
    return random.Random(seed).randbytes(size)


class Served(object):
    """An image folder on nginx and the catalogue that points at it."""

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
        self.port = env.serve(self.root, limit_rate=limit_rate)

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.port, name)


def clear_temp(env):
    temp = env.temp_dir_host()
    for name in os.listdir(temp):
        if name.lower() in ("dlengine.dll", "zlib1.dll", "vantoir.ini"):
            os.remove(os.path.join(temp, name))


def temp_payloads(env):
    wanted = {n.lower() for n in PAYLOADS}
    return sorted(n for n in os.listdir(env.temp_dir_host()) if n.lower() in wanted)


def park_pointer(env):
    env._xdotool("mousemove", 1270, 1010)
    time.sleep(0.2)


def start_installer(env, extra_env=None):
    """Starts Korvane.exe and returns (proc, xid of its visible main window)."""
    if extra_env:
        os.environ.update(extra_env)
    proc = env.start(env.korvane_exe())
    # By pid: a killed earlier copy's window may linger on the display for a while.
    xid = env.wait_for(lambda: main_window_of(env, proc), 60, what="the main window")
    time.sleep(1.0)   # first paint
    return proc, xid


def main_window_of(env, proc):
    for xid in env.windows_of(proc):
        if env.window_title(xid) == "Vantoir":
            return xid
    return None


def is_visible(env, xid):
    return xid in [int(x) for x in env._xdotool("search", "--onlyvisible", "--name", "^Vantoir$").split()]


def wait_hidden(env, xid, timeout=30, what="the window hidden"):
    env.wait_for(lambda: not is_visible(env, xid), timeout, what=what)


def wait_shown(env, xid, timeout=30, what="the window shown"):
    env.wait_for(lambda: is_visible(env, xid), timeout, what=what)


def shot(env, xid, name):
    park_pointer(env)
    return env.screenshot(name, xid)


def progress_fill(env, png, empty_png):
    """How far, in pixels from the bar's left end, the bar differs from the empty bar of
    empty_png (a screenshot taken at 0 %)."""
    n = 0
    for x in range(PROGRESS_X0 + 1, PROGRESS_X1 - 1):
        if _far(env.pixel(png, x, PROGRESS_Y), env.pixel(empty_png, x, PROGRESS_Y)):
            n = x - PROGRESS_X0
    return n


def _far(a, b, tol=24):
    return any(abs(p - q) > tol for p, q in zip(a, b))


def differs(env, png_a, png_b, box):
    """TRUE when the two screenshots differ anywhere in box (x0, y0, x1, y1)."""
    x0, y0, x1, y1 = box
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            if _far(env.pixel(png_a, x, y), env.pixel(png_b, x, y), 8):
                return True
    return False


# ----- notification area ---------------------------------------------------------------
def tray_window(env, timeout=20):
    """Wine's own notification area window (there is no other tray host on the display)."""
    xid = env.find_window(TRAY_TITLE, timeout=timeout)
    assert xid is not None, "no notification area window"
    return xid


def tray_click(env, button=1, double=False):
    click(env, tray_window(env), (10, 10), button=button, double=double)


def _menu_windows(env, before):
    ids = [int(x) for x in env._xdotool("search", "--onlyvisible", "--name", "^$").split()]
    out = []
    for i in ids:
        if i in before:
            continue
        x, y, w, h = env.window_geometry(i)
        if 40 <= w <= 400 and 20 <= h <= 200:
            out.append(i)
    return out


def tray_menu(env, item):
    """Opens the icon's menu with a right click and clicks item 1 ("点我恢复") or 2 ("点我退出")."""
    before = set(int(x) for x in env._xdotool("search", "--onlyvisible", "--name", "^$").split())
    tray_click(env, button=3)
    menus = env.wait_for(lambda: _menu_windows(env, before), 15, what="the tray menu")
    menu = menus[-1]
    x, y, w, h = env.window_geometry(menu)
    env.screenshot("tray_menu.png")
    env._xdotool("mousemove", x + w // 2, y + (h * (2 * item - 1)) // 4)
    time.sleep(0.3)
    env._xdotool("click", 1)
    time.sleep(0.2)
    return (x, y, w, h)


def ghofile(env, letter):
    return env.host_path(letter + ":\\ghofile")


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def restore_log_lines(env, letter):
    path = os.path.join(ghofile(env, letter), "restore.log")
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [l.rstrip("\r\n") for l in f if l.strip()]


def write_install_date(env, seconds):
    """Sets HKLM InstallDate (or removes it with None) in the test prefix."""
    key = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
    if seconds is None:
        args = ["reg", "delete", key, "/v", "InstallDate", "/f"]
    else:
        args = ["reg", "add", key, "/v", "InstallDate", "/t", "REG_DWORD", "/d", str(seconds), "/f"]
    subprocess.run([os.path.join(env.build_dir, "wine-run.sh")] + args, env=env.wine_environ(),
                   capture_output=True, timeout=120)


def screen_drag(env, xid, x0, y0, dx, dy, steps=10):
    """Presses at client (x0, y0), moves by (dx, dy) in screen coordinates and releases."""
    wx, wy, _, _ = env.window_geometry(xid)
    sx, sy = wx + x0, wy + y0
    env._xdotool("mousemove", "--sync", sx, sy)
    time.sleep(0.2)
    env._xdotool("mousedown", 1)
    time.sleep(0.2)
    for i in range(1, steps + 1):
        env._xdotool("mousemove", sx + dx * i // steps, sy + dy * i // steps)
        time.sleep(0.05)
    time.sleep(0.2)
    env._xdotool("mouseup", 1)
    time.sleep(0.5)


def window_origin(env, xid):
    x, y, _, _ = env.window_geometry(xid)
    return x, y


def wait_image(env, letter, name, timeout):
    path = os.path.join(ghofile(env, letter), name)
    env.wait_for(lambda: restore_log_lines(env, letter), timeout, interval=0.5,
                 what="the restore tool's log on %s:" % letter)
    return path


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


def click(env, xid, point, button=1, double=False):
    """A click as a user makes it: the pointer comes from the parking spot over a nearby
    point to the target (buttons act only after they have seen the pointer arrive)."""
    park_pointer(env)
    x, y = point
    env._xdotool("mousemove", "--window", xid, x, max(0, y - 6))
    time.sleep(0.2)
    env._xdotool("mousemove", "--window", xid, x, y)
    time.sleep(0.2)
    env._xdotool("click", "--repeat", 2 if double else 1, "--delay", 80, button)
    time.sleep(0.2)


def press_install(env, xid, tries=3):
    """Clicks the install button until the download page's step indicator shows (the
    status lines take 1.2 s). A click whose pointer arrival the window did not see is not
    a click on a button, so it is made again, up to tries times."""
    for i in range(tries):
        before = shot(env, xid, "before_install.png")
        click(env, xid, INSTALL_BUTTON)
        time.sleep(0.4)
        after = shot(env, xid, "after_install.png")
        if differs(env, before, after, (20, 182, 463, 215)):
            return after
        kvtest.log("install click %d not taken; again" % (i + 1))
    raise AssertionError("the install button did not take %d clicks" % tries)


def read_install_date(env):
    key = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
    r = subprocess.run([os.path.join(env.build_dir, "wine-run.sh"), "reg", "query", key, "/v", "InstallDate"],
                       env=env.wine_environ(), capture_output=True, text=True, timeout=120)
    for line in r.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == "InstallDate" and parts[1] == "REG_DWORD":
            return int(parts[2], 0)
    return None

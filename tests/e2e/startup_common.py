"""Shared steps of the start-up end-to-end tests: the payload and catalogue files start-up
leaves in %TEMP%, the failure box pictures and the stand-in programs of tests/app."""
import os
import time

PAYLOADS = ("DLEngine.dll", "ZLib1.dll")
CATALOGUE = "vantoir.ini"


def helper_exe(env, name):
    return os.path.join(env.build_dir, "tests", "app", name)


def clear_temp(env):
    """Removes what an earlier start-up left in %TEMP% (payloads, catalogue copy)."""
    temp = env.temp_dir_host()
    for name in PAYLOADS + (CATALOGUE,):
        path = os.path.join(temp, name)
        if os.path.lexists(path):
            os.remove(path)
    return temp


def temp_files(env):
    """Names of the payload and catalogue files now in %TEMP% (any letter case)."""
    wanted = {n.lower() for n in PAYLOADS + (CATALOGUE,)}
    return sorted(n for n in os.listdir(env.temp_dir_host()) if n.lower() in wanted)


def carries_engine(env):
    """TRUE when this build carries DLEngine.dll as BIN 257 (PAYLOAD_ID_ENGINE)."""
    try:
        with open(os.path.join(env.build_dir, "generated", "payloads.rc")) as f:
            return any(line.startswith("PAYLOAD_ID_ENGINE ") for line in f)
    except OSError:
        return False


def park_pointer(env):
    env._xdotool("mousemove", 0, 0)


def box_window(env, proc, timeout=40):
    """The one visible window of proc: a failure box has no title."""
    xids = env.wait_for(lambda: env.windows_of(proc), timeout, what="a window of pid %d" % proc.pid)
    assert len(xids) == 1, "expected one window, got %s" % xids
    assert env.window_title(xids[0]) == "", "the box window has a title: %r" % env.window_title(xids[0])
    return xids[0]


def box_picture(env, xid, name):
    """Screenshot of the box (pointer parked away) as (w, h, rgb bytes)."""
    park_pointer(env)
    time.sleep(1.0)
    png = env.screenshot(name, xid)
    return env._rgb(png)


def close_box(env, xid):
    """Clicks the box's close button (the top-right 40 x 17 frame, one pixel down)."""
    x, y, w, h = env.window_geometry(xid)
    env.click(xid, w - 20, 9)
    # A box that opens later under the pointer would keep its close button's hover look.
    park_pointer(env)


def reference_box(env, kind, name):
    """The picture of the failure box 'kind' drawn by the stand-in program with the
    texts the installer must show; the stand-in is closed again."""
    proc = env.start(helper_exe(env, "kv_failure_box.exe"), [kind])
    xid = box_window(env, proc)
    pic = box_picture(env, xid, name)
    close_box(env, xid)
    assert env.wait_exit(proc, 20) == 0
    return pic


def assert_same_picture(a, b, what):
    assert a[:2] == b[:2], "%s: box size %dx%d, expected %dx%d" % (what, a[0], a[1], b[0], b[1])
    if a[2] != b[2]:
        diff = sum(1 for i in range(0, len(a[2]), 3) if a[2][i:i + 3] != b[2][i:i + 3])
        raise AssertionError("%s: %d pixels differ from the expected box" % (what, diff))


def exit_via_tray(env, proc):
    """Ends the program through its notification-area menu: a right click on its icon
    (the first slot of Wine's tray window), then a click on the second of the menu's two
    items, "点我退出"."""
    tray = env.find_window("Wine System Tray", timeout=20)
    assert tray is not None, "no notification-area window"
    env.click(tray, 10, 10, button=3)
    menus = env.wait_for(lambda: [x for x in env.windows_of(proc) if env.window_title(x) == ""], 10,
                         what="the tray menu")
    time.sleep(0.3)
    x, y, w, h = env.window_geometry(menus[0])
    env.click(menus[0], w // 2, h * 3 // 4)

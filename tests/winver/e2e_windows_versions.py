"""The installer on Windows XP, 7 and 10, set as Wine's per-program Windows version of
Korvane.exe: for each, the program starts and shows its choice page, the install click
downloads the XP image and starts the restore tool, and the window hides once the tool has
ended. The eight skin fonts take the face the version calls for, read from Wine's font
trace of the real program: Tahoma on XP, 微软雅黑 on 7, and 微软雅黑 on 10 as well, because
the installer's manifest does not declare Windows 10 and GetVersion reports 6.2 there.
Each choice page is kept as winver_<version>_choice.png. (The pictures cannot tell the
faces apart here: the test machines' Wine has no Tahoma font of its own and draws the face
with the font it links to Tahoma for Chinese, the same that stands in for 微软雅黑.)"""
import os
import re
import subprocess

import kvtest
import install_e2e as ie

MiB = 1 << 20
YAHEI = "\u5fae\u8f6f\u96c5\u9ed1"
VERSIONS = (("winxp", "Tahoma"), ("win7", YAHEI), ("win10", YAHEI))
APP_KEY = r"HKCU\Software\Wine\AppDefaults\Korvane.exe"
# (height, bold) of skin fonts 1 to 8, in the order the program creates them.
SKIN_FONTS = [(-11, False), (-11, True), (-12, False), (-12, True),
              (-13, False), (-13, True), (-16, False), (-16, True)]
FONT_TRACE = "-all,trace+font"
# The orange install button of the choice page (client points off the button's text).
BUTTON_POINTS = [(345, 400), (500, 395)]


def reg(env, *args):
    return subprocess.run([os.path.join(env.build_dir, "wine-run.sh"), "reg"] + list(args),
                          env=env.wine_environ(), capture_output=True, text=True, timeout=120)


def app_version(env):
    """(key exists, Version value or None) of Korvane.exe's AppDefaults."""
    r = reg(env, "query", APP_KEY)
    if r.returncode != 0:
        return False, None
    for line in r.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0] == "Version" and parts[1] == "REG_SZ":
            return True, parts[2]
    return True, None


def set_app_version(env, version):
    r = reg(env, "add", APP_KEY, "/v", "Version", "/t", "REG_SZ", "/d", version, "/f")
    assert r.returncode == 0, "reg add: %s" % r.stderr
    assert app_version(env) == (True, version), "Version not set to %s" % version


def restore_app_version(env, saved):
    existed, version = saved
    if version is not None:
        reg(env, "add", APP_KEY, "/v", "Version", "/t", "REG_SZ", "/d", version, "/f")
    elif existed:
        reg(env, "delete", APP_KEY, "/v", "Version", "/f")
    else:
        reg(env, "delete", APP_KEY, "/f")


def created_fonts(trace):
    """[(height, bold, face)] of every font the program created, in order."""
    out = []
    for m in re.finditer(r'NtGdiHfontCreate \((-?\d+) [^)]*\) L"((?:[^"\\]|\\.)*)"[ \t]*(Bold)?', trace):
        face = re.sub(r"\\([0-9a-fA-F]{4})", lambda h: chr(int(h.group(1), 16)), m.group(2))
        out.append((int(m.group(1)), m.group(3) is not None, face))
    return out


def skin_face(trace):
    """The face of the eight skin fonts: the run of creations with their heights and weights."""
    fonts = created_fonts(trace)
    for i in range(len(fonts) - len(SKIN_FONTS) + 1):
        run = fonts[i:i + len(SKIN_FONTS)]
        if [(h, b) for h, b, _ in run] == SKIN_FONTS:
            faces = {f for _, _, f in run}
            assert len(faces) == 1, "skin fonts of several faces: %s" % run
            return faces.pop()
    raise AssertionError("no skin font table among the fonts created: %s" % fonts)


def one_version(env, served, version):
    env.map_drive("d", size_mb=1100)
    env.clear_temp()
    set_app_version(env, version)
    saved_debug = os.environ.get("WINEDEBUG")
    os.environ["WINEDEBUG"] = FONT_TRACE
    try:
        proc = env.start(env.korvane_exe())
    finally:
        if saved_debug is None:
            del os.environ["WINEDEBUG"]
        else:
            os.environ["WINEDEBUG"] = saved_debug
    xid = env.main_window(proc, what="the main window on %s" % version)
    env.wait_for(lambda: ie.is_visible(env, xid), 20, what="the window shown on %s" % version)
    assert env.window_geometry(xid)[2:] == (850, 539), "window size on %s" % version
    choice = ie.shot(env, xid, "winver_%s_choice.png" % version)
    # As it opens: XP's radio selected, Windows 7's not, the install button.
    r, g, b = env.pixel(choice, *ie.XP_RADIO)
    assert b > 180 and r < 120, "XP not selected on %s: %s" % (version, (r, g, b))
    assert min(env.pixel(choice, *ie.WIN7_RADIO)) > 200, "Windows 7 selected on %s" % version
    for pt in BUTTON_POINTS:
        r, g, b = env.pixel(choice, *pt)
        assert r > 200 and 100 < g < 190 and b < 110, "no install button at %s on %s" % (pt, version)
    face = skin_face(env.output(proc))

    ie.press_install(env, xid)
    env.wait_for(lambda: ie.restore_log_lines(env, "d"), 60, interval=0.5,
                 what="the restore tool's log on %s" % version)
    line = ie.restore_log_lines(env, "d")[0]
    assert "result=ok" in line and "marker=xp.cfg" in line and "image=xp.vex" in line, line
    folder = ie.ghofile(env, "d")
    assert ie.read_file(os.path.join(folder, "xp.vex")) == served.files["xp.img"], version
    ie.wait_hidden(env, xid, 30, "the window hidden after the tool ended on %s" % version)
    env.stop(proc)
    kvtest.log("%s: skin fonts %s, restore tool: %s" % (version, face, line))
    return face


def main():
    with kvtest.Env() as env:
        served = ie.Served(env, {"xp.img": (MiB, 9)})
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        saved = app_version(env)
        try:
            for version, want in VERSIONS:
                face = one_version(env, served, version)
                assert face == want, "skin fonts on %s: %r, not %r" % (version, face, want)
        finally:
            restore_app_version(env, saved)
        assert app_version(env) == saved, "Korvane.exe's AppDefaults not restored"
        print("%d passed, 0 failed" % len(VERSIONS))


if __name__ == "__main__":
    main()

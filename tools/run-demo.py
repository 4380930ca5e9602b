#!/usr/bin/env python3
"""Runs Korvane.exe for real under Wine against a local demo catalogue server.

- demo server: nginx on the compiled-in catalogue port (127.0.0.1 only) serving
  "vantoir.ini" and generated demo images (random bytes, not operating systems);
- a Wine prefix of its own ($BUILD_DIR/demo-prefix) in which D: is the folder
  $BUILD_DIR/demo/drive-d and no drive maps "/";
- on a working display the user clicks through and ends the program from the tray menu
  ("点我退出"); without one, a private Xvfb display and an automatic click-through that
  saves screenshots, after which the processes it started are ended by pid.
It prints where the image, the marker and the restore tool landed.

Environment: BUILD_DIR (required), KV_DEMO_HEADLESS=1 forces the headless run,
KV_DEMO_RATE (default 1m: nginx per-connection limit so the progress can be seen),
KV_DEMO_TIMEOUT (default 3600 s for the interactive run).
"""
import os
import shutil
import signal
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
import kvtest  # noqa: E402

MIB = 1024 * 1024
# Install button of the choice page: its position plus half its size, window coordinates.
INSTALL_CLICK = (332 + 92, 380 + 38)
HEADLESS_TIMEOUT = 600


def say(msg):
    print("[run] " + msg, flush=True)


def display_works():
    if not os.environ.get("DISPLAY"):
        return False
    return subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=10).returncode == 0


def start_xvfb():
    r, w = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-ac"], pass_fds=(w,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        num = f.readline().strip()
    if not num:
        proc.kill()
        raise SystemExit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + num
    return proc


def write_if_changed(path, size, seed):
    """A demo image: size bytes from a seeded generator, written once."""
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    import random
    rnd = random.Random(seed)
    with open(path + ".tmp", "wb") as f:
        left = size
        while left:
            n = min(left, MIB)
            f.write(rnd.randbytes(n))
            left -= n
    os.replace(path + ".tmp", path)


def prepare_site(demo, port):
    www = os.path.join(demo, "www")
    os.makedirs(os.path.join(www, "images"), exist_ok=True)
    write_if_changed(os.path.join(www, "images", "xp-demo.img"), 24 * MIB, 1)
    write_if_changed(os.path.join(www, "images", "win7-demo.img"), 40 * MIB, 7)
    base = "http://127.0.0.1:%d/images/" % port
    # Two "mirrors" for XP (the program draws one of them), one for Windows 7.
    for mirror in ("xp-demo-m1.img", "xp-demo-m2.img"):
        link = os.path.join(www, "images", mirror)
        if not os.path.lexists(link):
            os.symlink("xp-demo.img", link)
    with open(os.path.join(www, "vantoir.ini"), "w", newline="") as f:
        f.write("[WINXP]\r\nurlcount=2\r\nurl1=%sxp-demo-m1.img\r\nurl2=%sxp-demo-m2.img\r\n"
                "[WIN7]\r\nurlcount=1\r\nurl1=%swin7-demo.img\r\n" % (base, base, base))
    for d, _, files in os.walk(www):
        os.chmod(d, 0o755)
        for n in files:
            if not os.path.islink(os.path.join(d, n)):
                os.chmod(os.path.join(d, n), 0o644)
    return www


def prepare_drive(prefix, demo):
    """D: is a fresh demo folder; no other drive but C: stays mapped."""
    drive = os.path.join(demo, "drive-d")
    shutil.rmtree(os.path.join(drive, "ghofile"), ignore_errors=True)
    os.makedirs(drive, exist_ok=True)
    dosdevices = os.path.join(prefix, "dosdevices")
    for name in os.listdir(dosdevices):
        if len(name) == 2 and name[1] == ":" and name != "c:":
            os.remove(os.path.join(dosdevices, name))
    os.symlink(drive, os.path.join(dosdevices, "d:"))
    return drive


def same_bytes(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(MIB), fb.read(MIB)
            if x != y:
                return False
            if not x:
                return True


def report(env, drive, www, shots):
    ghofile = os.path.join(drive, "ghofile")
    say("results in D:\\ghofile = %s" % ghofile)
    if not os.path.isdir(ghofile):
        say("  (the folder was not created)")
    else:
        labels = {"xp.vex": "image", "win7u32.vex": "image", "xp.cfg": "marker", "win7.cfg": "marker",
                  "Braskmir.exe": "restore tool", "restore.log": "restore tool's log"}
        for name in sorted(os.listdir(ghofile)):
            path = os.path.join(ghofile, name)
            say("  %-20s %12d bytes  %s" % (name, os.path.getsize(path), labels.get(name, "")))
        for image, served in (("xp.vex", "xp-demo.img"), ("win7u32.vex", "win7-demo.img")):
            path = os.path.join(ghofile, image)
            if os.path.exists(path):
                ok = same_bytes(path, os.path.join(www, "images", served))
                say("%s %s the served demo image %s" % (image, "is identical to" if ok else "DIFFERS from", served))
        log = os.path.join(ghofile, "restore.log")
        if os.path.exists(log):
            with open(log, errors="replace") as f:
                say("restore.log: " + f.read().strip())
    if shots:
        say("screenshots: %s" % shots)


def korvane_windows(env, proc):
    return [(x, env.window_title(x)) for x in env.windows_of(proc)]


def click_through(env, proc, drive, shots):
    """The headless run: choice page, install click, download, completion."""
    xid = env.find_window(kvtest.MAIN_TITLE, timeout=90)
    if xid is None:
        wins = korvane_windows(env, proc)
        env.screenshot(os.path.join(shots, "00-no-main-window.png"))
        raise SystemExit("no main window appeared (windows of the program: %s); see %s" % (wins, shots))
    env.wait_painted(xid, os.path.join(shots, "01-choice-page.png"))
    say("clicking the install button")
    env.click_button(xid, *INSTALL_CLICK)
    env.park_pointer()
    ghofile = os.path.join(drive, "ghofile")
    log = os.path.join(ghofile, "restore.log")
    end = time.time() + HEADLESS_TIMEOUT
    n = 0
    while not os.path.exists(log):
        if proc.poll() is not None:
            raise SystemExit("Korvane.exe ended with %d before the restore tool ran" % proc.returncode)
        if time.time() > end:
            raise SystemExit("no restore.log after %ds" % HEADLESS_TIMEOUT)
        time.sleep(2)
        n += 1
        if n <= 30:
            env.screenshot(os.path.join(shots, "02-download-%02d.png" % n))
    time.sleep(2)
    env.screenshot(os.path.join(shots, "03-after-hand-off.png"))
    say("the restore tool ran; ending the processes this run started")


def main():
    build = os.path.abspath(os.environ["BUILD_DIR"])
    prefix = os.path.join(build, "demo-prefix")
    demo = os.path.join(build, "demo")
    os.environ["KV_WINEPREFIX"] = prefix
    os.environ["WINEPREFIX"] = prefix
    headless = os.environ.get("KV_DEMO_HEADLESS") == "1" or not display_works()
    xvfb = start_xvfb() if headless else None
    shots = os.path.join(build, "demo-screenshots") if headless else None
    if shots:
        shutil.rmtree(shots, ignore_errors=True)
        os.makedirs(shots)

    env = kvtest.Env()
    stopping = []

    def on_signal(signum, frame):
        stopping.append(signum)
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_signal)
    try:
        env.__enter__()
        port = env.reserve_catalogue_port()   # tests of other build trees use it too
        say("demo catalogue: http://127.0.0.1:%d/vantoir.ini (demo images are random bytes, "
            "not operating systems)" % port)
        www = prepare_site(demo, port)
        env.serve(www, limit_rate=os.environ.get("KV_DEMO_RATE", "1m"), port=port)
        drive = prepare_drive(prefix, demo)
        say("Wine prefix %s, D: = %s" % (prefix, drive))
        proc = env.start(env.korvane_exe())
        if headless:
            say("no usable display: headless run on Xvfb %s, screenshots in %s"
                % (os.environ["DISPLAY"], shots))
            click_through(env, proc, drive, shots)
        else:
            say("Korvane.exe runs on %s: choose a system, click 一键安装, and end it from the "
                "tray menu (点我退出)" % os.environ["DISPLAY"])
            rc = env.wait_exit(proc, int(os.environ.get("KV_DEMO_TIMEOUT", "3600")))
            say("Korvane.exe ended with %d" % rc)
        report(env, drive, www, shots)
    except KeyboardInterrupt:
        say("interrupted; ending what this run started")
    finally:
        env.close()
        subprocess.run([kvtest.wine_env.wineserver(kvtest.wine_env.arch(env.build_dir)), "-k"], env=env.wine_environ(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if xvfb is not None:
            xvfb.kill()
            xvfb.wait(timeout=10)
    return 0


if __name__ == "__main__":
    sys.exit(main())

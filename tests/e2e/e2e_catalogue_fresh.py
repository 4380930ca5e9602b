"""The catalogue is fetched anew on every start and the drawn address is the one the
download uses: two starts against the same catalogue address, whose content changes in
between, download the image each catalogue names (real Korvane.exe, engine, nginx)."""
import os
import shutil

import kvtest

INSTALL_BUTTON = (332 + 92, 380 + 38)   # install button centre, window coordinates


def install_once(env, drive, label):
    proc = env.start(env.korvane_exe())
    xid = env.main_window(proc, what="%s: the main window" % label)
    env.click_button(xid, *INSTALL_BUTTON)
    env.park_pointer()
    log = os.path.join(drive, "ghofile", "restore.log")
    env.wait_for(lambda: os.path.exists(log), 120, interval=0.5, what="%s: the hand-off" % label, about=proc)
    env.stop(proc)
    return os.path.join(drive, "ghofile", "xp.vex")


def main():
    with kvtest.Env() as env:
        if not env.carries_engine():
            kvtest.skip("this build carries no engine library: nothing is downloaded")
        env.clear_temp()
        drive = env.map_drive("d", size_mb=2048)
        port = env.catalogue_port()
        base = "http://127.0.0.1:%d/" % port
        root = env.serve_catalogue([base + "first.img"], [base + "w7.img"], access_log=True)
        images = {}
        for name, seed in (("first.img", 1), ("second.img", 2)):
            data = bytes((i * (seed * 29 + 7) + (i >> 9)) & 0xFF for i in range(300000))
            with open(os.path.join(root, name), "wb") as f:
                f.write(data)
            images[name] = data

        image = install_once(env, drive, "first start")
        with open(image, "rb") as f:
            assert f.read() == images["first.img"], "first start: the image is not first.img"

        shutil.rmtree(os.path.join(drive, "ghofile"))
        with open(os.path.join(root, "vantoir.ini"), "w", newline="") as f:
            f.write("[WINXP]\r\nurlcount=1\r\nurl1=%ssecond.img\r\n" % base)
        image = install_once(env, drive, "second start")
        with open(image, "rb") as f:
            got = f.read()
        assert got != images["first.img"], "second start used the earlier catalogue (cached copy)"
        assert got == images["second.img"], "second start: the image is not second.img"
    print("catalogue fetched anew on each start; the drawn address is downloaded")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

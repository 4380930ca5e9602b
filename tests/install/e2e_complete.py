"""The image already complete on the chosen drive: no engine task is started (the address
leads nowhere and no work file appears), and the completion comes at the first poll,
about 5.3 s after the click (1.2 s of status lines, then 4096 ms)."""
import os
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        d = env.map_drive("d", size_mb=1500)
        os.makedirs(os.path.join(d, "ghofile"))
        image = os.path.join(d, "ghofile", "xp.vex")
        data = ie.image_bytes(2 * MiB, 5)
        with open(image, "wb") as f:
            f.write(data)
        # Nothing listens on port 9 of the loopback: a started task could not fetch anything.
        env.serve_catalogue(["http://127.0.0.1:9/xp.img"], ["http://127.0.0.1:9/w7.img"])
        ie.clear_temp(env)
        proc, xid = ie.start_installer(env)
        t0 = time.time()
        ie.press_install(env, xid)
        env.wait_for(lambda: ie.restore_log_lines(env, "d"), 30, interval=0.1, what="the restore tool")
        took = time.time() - t0
        assert 4.5 <= took <= 11.0, "completion %.1f s after the click" % took
        names = sorted(os.listdir(os.path.join(d, "ghofile")))
        assert names == ["Braskmir.exe", "restore.log", "xp.cfg", "xp.vex"], names
        assert ie.read_file(image) == data, "the image was changed"
        line = ie.restore_log_lines(env, "d")[0]
        assert "result=ok" in line and "image=xp.vex" in line, line
        ie.wait_hidden(env, xid)
        ie.tray_menu(env, 2)
        assert env.wait_exit(proc, 30) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

"""The road of one installation: XP left selected, the install click, the status lines,
progress and speed while the image downloads, the completed page while the restore tool
runs, then the image, tool and marker on D:, the tool's log with " /set", the window
hidden, and the tray menu's exit ending the program with 0 and removing the payloads."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        d = env.map_drive("d", size_mb=2048)
        env.map_drive("e", size_mb=1100)
        served = ie.Served(env, {"xp.img": (24 * MiB, 1), "w7.img": (MiB, 2)}, limit_rate="200k")
        env.serve_catalogue([served.url("xp.img")] * 3, [served.url("w7.img")] * 3)
        env.clear_temp()
        # The restore tool stays while its folder holds restore.wait: the completed page
        # can be seen while it runs, and it ends when the file is deleted.
        log_dir = os.path.join(d, "ghofile")
        os.makedirs(log_dir)
        wait_file = os.path.join(log_dir, "restore.wait")
        with open(wait_file, "w") as f:
            f.write("600\n")
        proc, xid = ie.start_installer(env)
        x0, y0, w, h = env.window_geometry(xid)
        assert (w, h) == (850, 539), "window size %dx%d" % (w, h)
        choice = ie.shot(env, xid, "install_choice_page.png")

        anim = ie.press_install(env, xid, "install_status_lines.png")
        assert ie.differs(env, choice, anim, ie.STATUS_BOX), "no status line drawn"
        assert ie.differs(env, choice, anim, ie.STEPS_BOX), "step indicator not shown"

        # Downloading: the bar grows and the speed line appears.
        def mid():
            png = ie.shot(env, xid, "install_download_page.png")
            fill = ie.progress_fill(env, png, anim)
            return png if 20 < fill < 400 and ie.differs(env, anim, png, ie.SPEED_BOX) else None
        env.wait_for(mid, 60, interval=1.0, what="progress and speed mid-download")

        # Complete: the tool runs while the completed page shows.
        env.wait_for(lambda: ie.restore_log_lines(env, "d"), 90, interval=0.5, what="the restore tool's log")
        done = ie.shot(env, xid, "install_completed_page.png")
        assert ie.progress_fill(env, done, anim) >= 405, "bar not full on the completed page"
        assert env.pids_running(os.path.join(log_dir, "Braskmir.exe")), "the restore tool is not running"
        assert ie.is_visible(env, xid), "window hidden while the tool still runs"
        os.remove(wait_file)
        ie.wait_hidden(env, xid, 30, "the window hidden after the tool ended")

        image = os.path.join(log_dir, "xp.vex")
        assert ie.read_file(image) == served.files["xp.img"], "image differs from the served one"
        assert os.path.getsize(os.path.join(log_dir, "xp.cfg")) == 0
        assert not os.path.exists(os.path.join(log_dir, "win7.cfg"))
        assert os.path.exists(os.path.join(log_dir, "Braskmir.exe"))
        lines = ie.restore_log_lines(env, "d")
        assert len(lines) == 1, lines
        assert 'cmdline=" /set"' in lines[0] and "result=ok" in lines[0] and "marker=xp.cfg" in lines[0], lines[0]
        assert not os.path.exists(ie.ghofile(env, "e")), "nothing written to E:"

        assert proc.poll() is None, "the program ended by itself"
        rc = env.exit_via_tray(proc)
        assert rc == 0, "exit code %r" % rc
        assert env.temp_payloads() == [], "payloads left in %%TEMP%%: %s" % env.temp_payloads()
        assert not os.path.exists(os.path.join(log_dir, "Braskmir.exe")), "restore tool left"
        assert os.path.exists(os.path.join(log_dir, "xp.cfg")), "the marker stays"
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

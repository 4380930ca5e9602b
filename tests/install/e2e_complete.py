"""The image already complete on the chosen drive: no engine task is started (the server
that the address names is asked nothing and no work file appears), and the completion
comes at the first poll: after the 1.2 s of status lines and 4096 ms, before a second poll."""
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
        # A live server with other bytes: a started task would fetch them and leave work files.
        served = ie.Served(env, {"xp.img": (2 * MiB, 6)})
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        before = ie.shot(env, xid, "complete_choice.png")
        env.hover(xid, *ie.INSTALL_BUTTON)
        clicked = time.time()
        env.xdotool("click", "--delay", 80, 1)
        env.park_pointer()
        anim = env.wait_for(lambda: ie._if_differs(env, before, ie.shot(env, xid, "complete_status_lines.png"),
                                                   ie.STEPS_BOX), 20, interval=0.1, what="the download page")

        # The completion shows the full bar before the restore tool is written and started.
        def completed():
            png = ie.shot(env, xid, "complete_completed_page.png")
            return png if ie.progress_fill(env, png, anim) >= 405 else None
        env.wait_for(completed, 30, interval=0.1, what="the completed page")
        took = time.time() - clicked
        kvtest.log("completed page seen %.2f s after the click" % took)
        assert took >= ie.FIRST_POLL_S - 0.2, "completed %.2f s after the click, before the first poll" % took
        assert took < ie.FIRST_POLL_S + ie.POLL_S, "completed %.2f s after the click: not at the first poll" % took

        env.wait_for(lambda: ie.restore_log_lines(env, "d"), 30, interval=0.1, what="the restore tool")
        names = sorted(os.listdir(os.path.join(d, "ghofile")))
        assert names == ["Braskmir.exe", "restore.log", "xp.cfg", "xp.vex"], names
        assert ie.read_file(image) == data, "the image was changed"
        line = ie.restore_log_lines(env, "d")[0]
        assert "result=ok" in line and "image=xp.vex" in line, line
        ie.wait_hidden(env, xid)
        assert env.exit_via_tray(proc) == 0
        assert served.requests("xp.img") == [], "the image was requested: %s" % served.requests("xp.img")
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

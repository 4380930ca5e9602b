"""Closing, minimising, Alt+F4 and the "最小化安装" link only hide the window; the tray
icon's double click toggles it, its menu's "点我恢复" brings it back, and a second start of
the program shows the hidden window and ends itself with 0. Hidden, the download goes on
(the image's bytes on disk grow while the window is hidden); the exit keeps what was
fetched for a later start."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def hide_by(env, proc, xid, how, act):
    act()
    ie.wait_hidden(env, xid, 15, "hidden by %s" % how)
    assert proc.poll() is None, "the program ended on %s" % how


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (16 * MiB, 3)}, limit_rate="100k")
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        choice = ie.shot(env, xid, "hide_choice.png")

        hide_by(env, proc, xid, "the close button", lambda: ie.press(env, xid, ie.CLOSE_BUTTON))
        env.tray_click(proc, double=True)
        ie.wait_shown(env, xid, 15, "shown by the tray double click")

        hide_by(env, proc, xid, "the minimise button", lambda: ie.press(env, xid, ie.MIN_BUTTON))
        env.tray_menu(proc, 1)
        ie.wait_shown(env, xid, 15, "shown by 点我恢复")

        ie.click(env, xid, ie.MAX_BUTTON)
        ie.barrier(env, xid)
        assert ie.is_visible(env, xid), "the disabled maximise button hid the window"

        hide_by(env, proc, xid, "Alt+F4", lambda: env.key(xid, "alt+F4"))
        second = env.start(env.korvane_exe())
        assert env.wait_exit(second, 60) == 0, "the second copy's exit code"
        ie.wait_shown(env, xid, 15, "shown by a second start")
        assert proc.poll() is None

        # A double click on the icon while the window shows hides it.
        env.tray_click(proc, double=True)
        ie.wait_hidden(env, xid, 15, "hidden by the tray double click")
        env.tray_click(proc, double=True)
        ie.wait_shown(env, xid, 15, "shown again by the tray double click")

        empty = ie.press_install(env, xid, "hide_empty_bar.png")   # the bar at 0 % during the status lines
        partial = os.path.join(ie.ghofile(env, "d"), "xp.vex.dl")

        def progress():
            return ie.progress_fill(env, ie.shot(env, xid, "hide_before.png"), empty)
        fill0 = env.wait_for(progress, 30, interval=0.5, what="progress shown before hiding")

        hide_by(env, proc, xid, "最小化安装", lambda: ie.press(env, xid, ie.MIN_INSTALL_LINK))
        held = ie.bytes_on_disk(partial)
        env.wait_for(lambda: ie.bytes_on_disk(partial) >= held + MiB, 60, interval=0.5,
                     what="1 MiB more of the image on D: while hidden (%d bytes at hiding)" % held)
        assert not ie.is_visible(env, xid), "the window showed itself while the download went on"
        kvtest.log("bytes on disk: %d at hiding, %d later while hidden" % (held, ie.bytes_on_disk(partial)))

        env.tray_menu(proc, 1)
        ie.wait_shown(env, xid, 15, "the download page shown again")
        png = env.wait_for(lambda: (lambda p: p if ie.progress_fill(env, p, empty) > fill0 else None)(
            ie.shot(env, xid, "install_restored_download_page.png")), 2 * ie.POLL_S + 10, interval=0.5,
            what="the bar past %d pixels" % fill0)
        assert ie.differs(env, choice, png, ie.STEPS_BOX), "the download page is not shown"

        assert env.exit_via_tray(proc) == 0
        assert not os.path.exists(os.path.join(ie.ghofile(env, "d"), "xp.vex")), "the image is complete"
        assert os.path.exists(partial) and os.path.exists(partial + ".cfg"), \
            "the exit did not keep the work files: %s" % sorted(os.listdir(ie.ghofile(env, "d")))
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

"""Closing, minimising, Alt+F4 and the "最小化安装" link only hide the window; the tray
icon's double click toggles it, its menu's "点我恢复" brings it back, and a second start of
the program shows the hidden window and ends itself with 0. Hidden, the download goes on."""
import os
import time

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
        ie.clear_temp(env)
        proc, xid = ie.start_installer(env)
        choice = ie.shot(env, xid, "hide_choice.png")

        hide_by(env, proc, xid, "the close button", lambda: ie.click(env, xid, ie.CLOSE_BUTTON))
        ie.tray_click(env, double=True)
        ie.wait_shown(env, xid, 15, "shown by the tray double click")

        hide_by(env, proc, xid, "the minimise button", lambda: ie.click(env, xid, ie.MIN_BUTTON))
        ie.tray_menu(env, 1)
        ie.wait_shown(env, xid, 15, "shown by 点我恢复")

        ie.click(env, xid, ie.MAX_BUTTON)
        time.sleep(1)
        assert ie.is_visible(env, xid), "the disabled maximise button hid the window"

        hide_by(env, proc, xid, "Alt+F4", lambda: env.key(xid, "alt+F4"))
        second = env.start(env.korvane_exe())
        assert env.wait_exit(second, 60) == 0, "the second copy's exit code"
        ie.wait_shown(env, xid, 15, "shown by a second start")
        assert proc.poll() is None

        # A double click on the icon while the window shows hides it.
        ie.tray_click(env, double=True)
        ie.wait_hidden(env, xid, 15, "hidden by the tray double click")
        ie.tray_click(env, double=True)
        ie.wait_shown(env, xid, 15, "shown again by the tray double click")

        empty = ie.press_install(env, xid)   # the bar at 0 % during the status lines
        empty_ref = os.path.join(os.path.dirname(empty), "hide_empty_bar.png")
        os.replace(empty, empty_ref)
        partial = os.path.join(env.host_path("D:\\"), "ghofile", "xp.vex.dl")
        env.wait_for(lambda: os.path.exists(partial), 30, what="the download started")
        time.sleep(6)
        fill0 = ie.progress_fill(env, ie.shot(env, xid, "hide_before.png"), empty_ref)
        hide_by(env, proc, xid, "最小化安装", lambda: ie.click(env, xid, ie.MIN_INSTALL_LINK))
        time.sleep(12)   # three polls while hidden
        ie.tray_menu(env, 1)
        ie.wait_shown(env, xid, 15, "the download page shown again")
        time.sleep(0.5)
        png = ie.shot(env, xid, "install_restored_download_page.png")
        assert ie.differs(env, choice, png, (20, 182, 463, 215)), "the download page is not shown"
        fill1 = ie.progress_fill(env, png, empty_ref)
        assert fill1 > fill0, "no progress while hidden: %d then %d pixels" % (fill0, fill1)

        ie.tray_menu(env, 2)
        assert env.wait_exit(proc, 30) == 0
        assert not os.path.exists(os.path.join(ie.ghofile(env, "d"), "xp.vex")), "the task was not stopped"
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

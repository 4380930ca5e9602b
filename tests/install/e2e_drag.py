"""Presses on the background or on a picture move the window; presses on buttons and links
do not (and released elsewhere do nothing). After the page switch, clicks where the
Windows 7 choice and the checkbox were change nothing: the XP image is installed."""
import os
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20


def moved(env, xid, point, dx, dy):
    x0, y0 = ie.window_origin(env, xid)
    ie.screen_drag(env, xid, point[0], point[1], dx, dy)
    x1, y1 = ie.window_origin(env, xid)
    return x1 - x0, y1 - y0


def main():
    with kvtest.Env() as env:
        env.map_drive("e", size_mb=4200)   # room for either image
        served = ie.Served(env, {"xp.img": (2 * MiB, 4), "w7.img": (2 * MiB, 8)})
        env.serve_catalogue([served.url("xp.img")], [served.url("w7.img")])
        ie.clear_temp(env)
        proc, xid = ie.start_installer(env)
        choice = ie.shot(env, xid, "drag_start.png")

        for what, point, d in (("the background", ie.BACKGROUND, (80, 40)),
                               ("the XP picture", ie.XP_PICTURE, (-60, 30)),
                               ("the slogan picture", ie.SLOGAN, (40, -50)),
                               ("the disabled maximise button", ie.MAX_BUTTON, (-30, 20))):
            got = moved(env, xid, point, *d)
            assert abs(got[0] - d[0]) <= 2 and abs(got[1] - d[1]) <= 2, "%s moved by %s, not %s" % (what, got, d)

        for what, point in (("the install button", ie.INSTALL_BUTTON), ("the close button", ie.CLOSE_BUTTON),
                            ("the minimise button", ie.MIN_BUTTON), ("the site link", ie.SITE_LINK)):
            got = moved(env, xid, point, 90, 120)
            assert got == (0, 0), "a press on %s moved the window by %s" % (what, got)
            assert ie.is_visible(env, xid), "%s released elsewhere hid the window" % what
        after = ie.shot(env, xid, "drag_end.png")
        assert not ie.differs(env, choice, after, (20, 182, 463, 215)), "the page switched"

        ie.press_install(env, xid)
        for point in (ie.WIN7_PICTURE, ie.WIN7_LABEL, ie.WIN7_RADIO, ie.CHECKBOX):
            ie.click(env, xid, point)
        ie.wait_image(env, "e", "xp.vex", 60)
        folder = ie.ghofile(env, "e")
        assert ie.read_file(os.path.join(folder, "xp.vex")) == served.files["xp.img"]
        assert os.path.exists(os.path.join(folder, "xp.cfg"))
        assert not os.path.exists(os.path.join(folder, "win7u32.vex")), "Windows 7 chosen after the page switch"
        assert not os.path.exists(os.path.join(folder, "win7.cfg"))
        ie.wait_hidden(env, xid)
        ie.tray_menu(env, 2)
        assert env.wait_exit(proc, 30) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

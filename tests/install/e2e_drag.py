"""Presses on the background or on a picture move the window; presses on buttons and links
do not (and released elsewhere do nothing). After the page switch, clicks where the
Windows 7 choice and the checkbox were change nothing: the XP image is installed."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def drag(env, xid, point, dx, dy):
    """Presses at the client point, moves by (dx, dy) on the screen and releases; returns
    the window's origin before."""
    x0, y0 = ie.window_origin(env, xid)
    env.drag_screen(x0 + point[0], y0 + point[1], dx, dy)
    return x0, y0


def main():
    with kvtest.Env() as env:
        env.map_drive("e", size_mb=4200)   # room for either image
        served = ie.Served(env, {"xp.img": (2 * MiB, 4), "w7.img": (2 * MiB, 8)})
        env.serve_catalogue([served.url("xp.img")], [served.url("w7.img")])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        choice = ie.shot(env, xid, "drag_start.png")

        for what, point, d in (("the background", ie.BACKGROUND, (80, 40)),
                               ("the XP picture", ie.XP_PICTURE, (-60, 30)),
                               ("the slogan picture", ie.SLOGAN, (40, -50)),
                               ("the disabled maximise button", ie.MAX_BUTTON, (-30, 20))):
            x0, y0 = drag(env, xid, point, *d)
            env.wait_for(lambda: ie.window_origin(env, xid) == (x0 + d[0], y0 + d[1]), 10,
                         what="%s moved by %s from %s" % (what, d, (x0, y0)))

        for what, point in (("the install button", ie.INSTALL_BUTTON), ("the close button", ie.CLOSE_BUTTON),
                            ("the minimise button", ie.MIN_BUTTON), ("the site link", ie.SITE_LINK)):
            x0, y0 = drag(env, xid, point, 90, 120)
            ie.barrier(env, xid)
            got = ie.window_origin(env, xid)
            assert got == (x0, y0), "a press on %s moved the window from %s to %s" % (what, (x0, y0), got)
            assert ie.is_visible(env, xid), "%s released elsewhere hid the window" % what
        after = ie.shot(env, xid, "drag_end.png")
        assert not ie.differs(env, choice, after, ie.STEPS_BOX), "the page switched"

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
        assert env.exit_via_tray(proc) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

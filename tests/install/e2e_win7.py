"""Windows 7 chosen by its picture, by its label and by its radio: the win7u32 image is
downloaded to the drive with room, win7.cfg is written beside it and an old xp.cfg left by
an earlier run is removed."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20
XP_RADIO_BOX = (255, 300, 271, 318)
WIN7_RADIO_BOX = (595, 300, 611, 318)


def one_run(env, served, how, point):
    ghofile = os.path.join(env.map_drive("d", size_mb=1100), "ghofile")
    env.map_drive("e", size_mb=4200)   # 4 GiB and more: only E: suits Windows 7
    os.makedirs(os.path.join(env.host_path("E:\\"), "ghofile"))
    old_marker = os.path.join(env.host_path("E:\\ghofile"), "xp.cfg")
    open(old_marker, "wb").close()

    env.clear_temp()
    proc, xid = ie.start_installer(env)
    before = ie.shot(env, xid, "install_win7_before_%s.png" % how)
    ie.click(env, xid, point)

    # Both radios change their look.
    def switched():
        png = ie.shot(env, xid, "install_win7_by_%s.png" % how)
        return png if ie.differs(env, before, png, XP_RADIO_BOX) and ie.differs(env, before, png, WIN7_RADIO_BOX) \
            else None
    png = env.wait_for(switched, 10, interval=0.2, what="both radios switched (%s)" % how)
    ie.press_install(env, xid)
    ie.wait_image(env, "e", "win7u32.vex", 60)
    folder = env.host_path("E:\\ghofile")
    assert ie.read_file(os.path.join(folder, "win7u32.vex")) == served.files["w7.img"], how
    assert os.path.getsize(os.path.join(folder, "win7.cfg")) == 0, how
    assert not os.path.exists(old_marker), "old xp.cfg left (%s)" % how
    line = ie.restore_log_lines(env, "e")[0]
    assert "marker=win7.cfg" in line and "result=ok" in line, line
    assert not os.path.exists(ghofile), "XP drive touched"
    ie.wait_hidden(env, xid)
    assert env.exit_via_tray(proc) == 0
    return png


def main():
    with kvtest.Env() as env:
        served = ie.Served(env, {"xp.img": (MiB, 1), "w7.img": (3 * MiB, 7)})
        env.serve_catalogue([served.url("xp.img")], [served.url("w7.img")] * 3)
        pictures = {}
        for how, point in (("picture", ie.WIN7_PICTURE), ("label", ie.WIN7_LABEL), ("radio", ie.WIN7_RADIO)):
            pictures[how] = one_run(env, served, how, point)
        # The radios look the same whichever way Windows 7 was chosen.
        for how in ("label", "radio"):
            assert not ie.differs(env, pictures["picture"], pictures[how], ie.RADIOS_BOX), how
        print("3 passed, 0 failed")


if __name__ == "__main__":
    main()

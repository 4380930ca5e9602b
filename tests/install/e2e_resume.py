"""Interrupted and resumed: the program is killed mid-download and started again; the drive
with the partial download is chosen again through its ".vex.dl" file although another drive
has more room, the download goes on, and the final image is identical to the served one."""
import os
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (24 * MiB, 11)}, limit_rate="100k")
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        ie.clear_temp(env)
        proc, xid = ie.start_installer(env)
        ie.press_install(env, xid)
        folder = ie.ghofile(env, "d")
        partial = os.path.join(folder, "xp.vex.dl")
        env.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0, 60,
                     what="the partial download on D:")
        time.sleep(8)
        env.stop(proc)
        assert not os.path.exists(os.path.join(folder, "xp.vex")), "complete before the kill"
        assert os.path.exists(partial) and os.path.exists(partial + ".cfg"), sorted(os.listdir(folder))

        # E: now has more room than D:; without the partial file the rule would pick E:.
        env.map_drive("e", size_mb=3000)
        ie.clear_temp(env)
        proc, xid = ie.start_installer(env)
        ie.press_install(env, xid)
        time.sleep(2)
        png = ie.shot(env, xid, "install_resumed_page.png")
        ie.wait_image(env, "d", "xp.vex", 240)
        assert ie.read_file(os.path.join(folder, "xp.vex")) == served.files["xp.img"], "image differs"
        assert not os.path.exists(partial), "work file left"
        assert not os.path.exists(ie.ghofile(env, "e")), "E: was used"
        ie.wait_hidden(env, xid)
        ie.tray_menu(env, 2)
        assert env.wait_exit(proc, 30) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

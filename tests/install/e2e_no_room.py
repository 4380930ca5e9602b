"""No drive with room for the image (every drive under 1 GiB for XP): the install click
shows the "磁盘空间不足" box; closing it ends the program with 0 and nothing is written."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1023)
        env.map_drive("e", size_mb=512)
        served = ie.Served(env, {"xp.img": (MiB, 1)})
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        before = set(env.windows_of(proc))
        ie.press(env, xid, ie.INSTALL_BUTTON)
        boxes = env.wait_for(lambda: [w for w in env.windows_of(proc) if w not in before], 20,
                             what="the disk-space box")
        box = boxes[0]
        png = env.wait_painted(box, "install_no_room_box.png")
        bx, by, bw, bh = env.window_geometry(box)
        assert env.window_title(box) == "", "the box has no title bar text"
        assert 300 < bw < 800 and 100 < bh < 200, "box size %dx%d" % (bw, bh)
        # Two lines of dark text below the title strip.
        left, right = ie.text_extent(env, png, 40, bh - 20, 1, bw - 1)
        assert left is not None and left >= 45, "no text lines in the box"
        assert proc.poll() is None, "the program ended before the box was closed"
        env.click_button(box, bw - 20, 9)
        assert env.wait_exit(proc, 30) == 0
        for letter in "de":
            assert not os.path.exists(ie.ghofile(env, letter)), "%s: written to" % letter
        assert env.temp_payloads() == []
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

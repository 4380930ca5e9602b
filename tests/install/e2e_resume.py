"""Interrupted and resumed: the program is killed mid-download and started again; the drive
with the partial download is chosen again through its ".vex.dl" file although another drive
has more room, the download goes on from what was kept (the server is asked only for ranges,
fewer bytes than the image), and the final image is identical to the served one."""
import os
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20
SIZE = 24 * MiB


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (SIZE, 11)}, limit_rate="100k")
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        ie.press_install(env, xid, "resume_first_status_lines.png")
        folder = ie.ghofile(env, "d")
        partial = os.path.join(folder, "xp.vex.dl")
        env.wait_for(lambda: ie.bytes_on_disk(partial) >= 2 * MiB and os.path.exists(partial + ".cfg"), 120,
                     interval=0.5, what="2 MiB of the image and its record on D:")
        env.stop(proc)
        kept = ie.bytes_on_disk(partial)
        assert not os.path.exists(os.path.join(folder, "xp.vex")), "complete before the kill"
        assert os.path.exists(partial) and os.path.exists(partial + ".cfg"), sorted(os.listdir(folder))

        # E: now has more room than D:; without the partial file the rule would pick E:.
        env.map_drive("e", size_mb=3000)
        env.clear_temp()
        restarted = time.time()
        proc, xid = ie.start_installer(env)
        empty = ie.press_install(env, xid, "resume_second_status_lines.png")
        # The first poll shows the share kept from the first run at once.
        env.wait_for(lambda: ie.progress_fill(env, ie.shot(env, xid, "install_resumed_page.png"), empty) >= 20,
                     30, interval=0.5, what="the resumed share on the bar")
        ie.wait_image(env, "d", "xp.vex", 240)
        assert ie.read_file(os.path.join(folder, "xp.vex")) == served.files["xp.img"], "image differs"
        assert not os.path.exists(partial), "work file left"
        assert not os.path.exists(ie.ghofile(env, "e")), "E: was used"

        after = [r for r in served.requests("xp.img") if r["start"] >= restarted]
        fetched = sum(r["bytes"] for r in after)
        kvtest.log("%d bytes on disk at the kill; after the restart %d bytes in %d requests: %s"
                   % (kept, fetched, len(after), [(r["status"], r["range"], r["bytes"]) for r in after]))
        assert after, "nothing was requested after the restart"
        whole = [r for r in after if r["method"] == "GET" and (r["status"] != 206 or not r["range"])]
        assert not whole, "requests after the restart that were not ranged: %s" % whole
        assert fetched < SIZE, "%d bytes fetched after the restart: the image (%d) again" % (fetched, SIZE)

        ie.wait_hidden(env, xid)
        assert env.exit_via_tray(proc) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

"""Every address answers 404: the box "下载地址已失效" (the reference box of that cause)
comes soon after the click; once the server has the image, closing the box and one click
on the install button end at the restore tool."""
import os
import shutil
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"stash.bin": (4 * MiB, 61)})
        data = served.files["stash.bin"]
        urls = [served.url("a.img"), served.url("b.img"), served.url("c.img")]
        env.serve_catalogue(urls, urls, keys=ie.xp_checked_by(data))
        env.clear_temp()
        proc, xid = ie.start_installer(env, extra_env={"DLENGINE_PATIENCE_MS": "15000"})
        before = set(env.windows_of(proc))
        ie.press_install(env, xid, "all404_status_lines.png")
        clicked = time.time()
        box, picture = ie.failure_box(env, proc, before, 60, "all404_failure_box.png")
        took = time.time() - clicked
        kvtest.log("failure box %.1f s after the click" % took)
        assert took < 30, "the box came %.1f s after the click" % took
        assert not ie.restore_log_lines(env, "d"), "restore tool started"
        ie.assert_failure_box(env, picture, ie.CAUSE_MIRRORS_GONE, "all404_reference_box.png")

        shutil.copyfile(os.path.join(served.root, "stash.bin"), os.path.join(served.root, "b.img"))
        os.chmod(os.path.join(served.root, "b.img"), 0o644)
        ie.close_box(env, proc, box)
        ie.press_install(env, xid, "all404_retry_status_lines.png")
        ie.assert_handed_over(env, data, 90)
        ie.exit_when_hidden(env, proc, xid)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

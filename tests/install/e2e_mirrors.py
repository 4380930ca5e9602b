"""Four addresses of the same image, three of them dead (a closed port, a 404, a host that
does not resolve) and one good, with the image's size and SHA-256 in the catalogue: the
download page shows received/total and the time left, the road ends at the restore tool
with the served image, whichever address the draw put first."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (16 * MiB, 31)}, limit_rate="400k")
        data = served.files["xp.img"]
        urls = ["http://127.0.0.1:%d/xp.img" % ie.closed_port(), served.url("gone.img"),
                "http://kv-no-such-host.invalid/xp.img", served.url("xp.img")]
        env.serve_catalogue(urls, [served.url("xp.img")],
                            keys=ie.xp_checked_by(data))
        env.clear_temp()
        proc, xid = ie.start_installer(env, extra_env={"DLENGINE_PATIENCE_MS": "20000"})
        anim = ie.press_install(env, xid, "mirrors_status_lines.png")

        # A poll with the size known writes the detail line under the status line.
        env.wait_for(lambda: ie.differs(env, anim, ie.shot(env, xid, "mirrors_download_page.png"), ie.DETAIL_BOX),
                     40, interval=0.5, what="the received/total line")

        ie.assert_handed_over(env, data, 120)
        assert served.requests("gone.img"), "the 404 address was never tried"
        ie.exit_when_hidden(env, proc, xid)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

"""The server goes away in the middle of the download: the page shows the orange
reconnecting line while the engine retries; when the server is back the download goes on
from the bytes kept and the road ends at the restore tool with the served image."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (8 * MiB, 71)}, limit_rate="100k")
        data = served.files["xp.img"]
        urls = [served.url("xp.img")]
        env.serve_catalogue(urls, urls, keys=ie.xp_checked_by(data))
        env.clear_temp()
        proc, xid = ie.start_installer(env, extra_env={"DLENGINE_PATIENCE_MS": "120000"})
        ie.press_install(env, xid, "server_gone_status_lines.png")
        partial = os.path.join(ie.ghofile(env, "d"), "xp.vex.dl")
        env.wait_for(lambda: ie.bytes_on_disk(partial) >= MiB, 60, interval=0.5, what="1 MiB of the image on D:")

        env.stop_server(served.port)
        env.wait_for(lambda: ie.orange_in(env, ie.shot(env, xid, "server_gone_reconnecting.png"), ie.DETAIL_BOX),
                     60, interval=0.5, what="the orange reconnecting line")
        assert not ie.restore_log_lines(env, "d"), "restore tool started without the server"

        env.serve(served.root, port=served.port, limit_rate="4m", access_log=True)
        ie.assert_handed_over(env, data, 120)
        ie.exit_when_hidden(env, proc, xid)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

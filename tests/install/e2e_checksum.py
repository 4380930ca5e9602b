"""A catalogue SHA-256 that names other bytes: the image is downloaded but never handed
over (no restore tool written or started); the box "系统镜像校验失败" is the reference box
of that cause; after it closes the choice page is back, and once the catalogue names the
right hash one click on the install button ends at the restore tool with the image."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (6 * MiB, 41)})
        data = served.files["xp.img"]
        urls = [served.url("xp.img")]
        wrong = ie.sha256_hex(data + b"x")
        root = env.serve_catalogue(urls, urls, keys={"WINXP": {"sha256": wrong}})
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        before = set(env.windows_of(proc))
        ie.press_install(env, xid, "checksum_status_lines.png")

        box, picture = ie.failure_box(env, proc, before, 60, "checksum_failure_box.png")
        folder = ie.ghofile(env, "d")
        assert not os.path.exists(os.path.join(folder, "Braskmir.exe")), "restore tool written"
        assert not ie.restore_log_lines(env, "d"), "restore tool started"
        ie.assert_failure_box(env, picture, ie.CAUSE_CHECKSUM, "checksum_reference_box.png")

        ie.close_box(env, proc, box)
        ie.shot(env, xid, "checksum_choice_again.png")
        assert not ie.restore_log_lines(env, "d"), "restore tool started after the box"

        env.rewrite_catalogue(root, urls, urls, keys={"WINXP": {"sha256": ie.sha256_hex(data)}})
        ie.press_install(env, xid, "checksum_retry_status_lines.png")
        ie.assert_handed_over(env, data, 90)
        ie.exit_when_hidden(env, proc, xid)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

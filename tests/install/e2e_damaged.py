"""A complete but damaged image left on D: by an earlier run, with the image's SHA-256 in
the catalogue: it is verified first, found wrong, fetched again and only then handed over
(the restore tool starts once, on the served bytes)."""
import os

import kvtest
import install_e2e as ie

MiB = 1 << 20


def main():
    with kvtest.Env() as env:
        d = env.map_drive("d", size_mb=1500)
        served = ie.Served(env, {"xp.img": (6 * MiB, 51)})
        data = served.files["xp.img"]
        damaged = bytearray(data)
        damaged[3 * MiB] ^= 0xFF
        os.makedirs(os.path.join(d, "ghofile"))
        image = os.path.join(d, "ghofile", "xp.vex")
        with open(image, "wb") as f:
            f.write(damaged)
        urls = [served.url("xp.img")]
        env.serve_catalogue(urls, urls, keys=ie.xp_checked_by(data))
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        ie.press_install(env, xid, "damaged_status_lines.png")

        ie.assert_handed_over(env, data, 90)
        assert served.requests("xp.img"), "the damaged image was not fetched again"
        ie.shot(env, xid, "damaged_completed_page.png")
        ie.exit_when_hidden(env, proc, xid)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

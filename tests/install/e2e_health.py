"""The health notice from the registry's InstallDate: 91 days ago shows the age, exactly 90
days ago the junk text, a missing value the days since 1970. The texts are told apart by
their drawn width (one more character and two digits for "超过91天", three more digits for
a five-digit age) and each is centred in the window."""
import time

import kvtest
import install_e2e as ie

MiB = 1 << 20


def notice_extent(env, label, install_date):
    ie.write_install_date(env, install_date)
    proc, xid = ie.start_installer(env)
    png = ie.shot(env, xid, "install_health_%s.png" % label)
    left, right = ie.text_extent(env, png, 200, 218, 3, 846)   # inside the outline
    assert left is not None, "no notice drawn (%s)" % label
    # Centred: equal margins, within the blank right half of the closing "。" (one em).
    assert abs(left - (849 - right)) <= 14, "notice not centred (%s): %d..%d" % (label, left, right)
    assert env.exit_via_tray(proc) == 0
    return right - left


def main():
    with kvtest.Env() as env:
        original = ie.read_install_date(env)
        served = ie.Served(env, {"xp.img": (MiB, 1)})
        env.serve_catalogue([served.url("xp.img")], [served.url("xp.img")])
        try:
            now = int(time.time())
            w91 = notice_extent(env, "91_days", now - 91 * 86400)
            w90 = notice_extent(env, "90_days", now - 90 * 86400)
            w_missing = notice_extent(env, "missing", None)
        finally:
            ie.write_install_date(env, original)
        assert 15 <= w91 - w90 <= 45, "91 days (%d) vs junk text (%d)" % (w91, w90)
        assert 12 <= w_missing - w91 <= 36, "days since 1970 (%d) vs 91 days (%d)" % (w_missing, w91)
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

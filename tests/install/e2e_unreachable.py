"""Every address unreachable (closed ports): the download page shows the orange
reconnecting line while the engine retries, and the box "网络连接中断" (the reference box
of that cause) once the patience window, shortened here through the engine's
DLENGINE_PATIENCE_MS, has run out; the restore tool is never started."""
import kvtest
import install_e2e as ie

PATIENCE_MS = 12000


def main():
    with kvtest.Env() as env:
        env.map_drive("d", size_mb=1500)
        urls = ["http://127.0.0.1:%d/xp.img" % ie.closed_port() for _ in range(2)]
        env.serve_catalogue(urls, urls)
        env.clear_temp()
        proc, xid = ie.start_installer(env, extra_env={"DLENGINE_PATIENCE_MS": str(PATIENCE_MS)})
        before = set(env.windows_of(proc))
        ie.press_install(env, xid, "unreachable_status_lines.png")
        env.wait_for(lambda: ie.orange_in(env, ie.shot(env, xid, "unreachable_reconnecting.png"), ie.DETAIL_BOX),
                     PATIENCE_MS / 1000.0 + 10, interval=0.5, what="the orange reconnecting line")
        box, picture = ie.failure_box(env, proc, before, PATIENCE_MS / 1000.0 + 30, "unreachable_failure_box.png")
        assert not ie.restore_log_lines(env, "d"), "restore tool started"
        ie.assert_failure_box(env, picture, ie.CAUSE_NETWORK, "unreachable_reference_box.png")
        ie.close_box(env, proc, box)
        ie.shot(env, xid, "unreachable_choice_again.png")
        assert env.exit_via_tray(proc) == 0
        print("1 passed, 0 failed")


if __name__ == "__main__":
    main()

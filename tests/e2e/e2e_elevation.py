"""The elevation step, run by the build's copy of Korvane.exe whose administrator test
says "no" and whose shell calls are logged (korvane_not_admin.exe, tests/app/helpers/
NotAdmin.cpp). Started without rights, the program starts itself once with "runas" and
its arguments followed by "/uac", shows nothing and ends with 0; that elevated copy, still
without rights, shows the "提权失败" box instead of starting itself again, and ends with 0
when it is closed. A refused prompt ends the first copy with 0 all the same. No step
fetches the catalogue or writes a payload."""
import os

import kvtest
import startup_common as sc

EXE_NAME = "korvane_not_admin.exe"
LOG_WIN = "C:\\kvtest\\shell-calls.log"


def shell_calls(env):
    try:
        with open(env.host_path(LOG_WIN), encoding="utf-8") as f:
            return [l.rstrip("\r\n") for l in f if l.strip()]
    except FileNotFoundError:
        return []


def relaunch_then_box(env, expected):
    exe = env.install_exe(sc.helper_exe(env, EXE_NAME))
    first = env.start(exe, ["-x", "a b"], extra_env={"KV_SHELL_LOG": LOG_WIN})
    rc, shown = env.watch_until_exit(first)
    assert rc == 0, "the first copy ended with %d" % rc
    assert not shown, "the first copy showed windows %s" % shown
    calls = shell_calls(env)
    assert calls == ['owner=0 verb=runas file=%s dir=(null) show=1 params=-x "a b"/uac' % exe], calls

    # The elevated copy, started by the shell for the first one.
    pids = env.wait_for(lambda: env.pids_running(env.host_path(exe)), 30, what="the elevated copy's process")
    assert len(pids) == 1, "copies running: %s" % pids
    elevated = env.adopt(pids[0])
    xid = sc.box_window(env, elevated)
    got = sc.box_picture(env, xid, "startup/elevation-box.png")
    sc.assert_same_picture(got, expected, "elevation failed")
    assert shell_calls(env) == calls, "the elevated copy started itself again: %s" % shell_calls(env)
    sc.close_box(env, xid)
    env.wait_for(lambda: elevated.poll() is not None, 20, what="the elevated copy ended")


def refused(env):
    first = env.start(sc.helper_exe(env, EXE_NAME), [],
                      extra_env={"KV_SHELL_LOG": LOG_WIN, "KV_SHELL_REFUSE": "1"})
    rc, shown = env.watch_until_exit(first)
    assert rc == 0, "refused prompt: the program ended with %d" % rc
    assert not shown, "refused prompt: windows %s" % shown
    assert [c.split(" params=")[1] for c in shell_calls(env)] == ["/uac"], shell_calls(env)
    assert env.pids_running(env.host_path("C:\\kvtest\\" + EXE_NAME)) == [], "a copy runs after the refused prompt"


def main():
    with kvtest.Env() as env:
        expected = sc.reference_box(env, "elevation", "startup/expected-elevation-box.png")
    for scenario in (relaunch_then_box, refused):
        with kvtest.Env() as env:
            log = env.host_path(LOG_WIN)
            if os.path.exists(log):
                os.remove(log)
            env.clear_temp()
            env.serve_catalogue(["http://127.0.0.1:1/xp.vex"], None, access_log=True)
            if scenario is refused:
                scenario(env)
            else:
                scenario(env, expected)
            assert env.access_log_entries(env.catalogue_port()) == [], "the catalogue was fetched"
            assert env.temp_files() == [], "written to %%TEMP%%: %s" % env.temp_files()
    print("elevation: re-launch, failure box and refused prompt passed")


if __name__ == "__main__":
    main()

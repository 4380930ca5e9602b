"""Start-up against the catalogue server on the compiled-in port: unreachable server,
catalogue without sections, complete catalogue, and a program whose engine library is
damaged. The real Korvane.exe under Wine (and the build's copy of it with a cut-off
engine payload, korvane_damaged_engine.exe)."""
import os

import kvtest
import startup_common as sc


def unreachable(env):
    env.reserve_catalogue_port()   # held by us, nothing listens on it
    env.clear_temp()
    expected = sc.reference_box(env, "network", "startup/expected-network-box.png")
    proc = env.start(env.korvane_exe())
    xid = sc.box_window(env, proc)
    got = sc.box_picture(env, xid, "startup/unreachable-box.png")
    sc.assert_same_picture(got, expected, "server unreachable")
    assert env.temp_files() == [], "unpacked or left behind: %s" % env.temp_files()
    sc.close_box(env, xid)
    rc = env.wait_exit(proc, 20)
    assert rc == 0, "exit code %d after the network box" % rc
    assert env.temp_files() == [], "left behind: %s" % env.temp_files()


def damaged_engine(env, engine_box):
    """The engine payload written out is cut off: the library does not load, the engine
    box shows and the program ends with 0; its private folder with the two written
    libraries is gone then."""
    if env.carries_engine():
        exe = sc.helper_exe(env, "korvane_damaged_engine.exe")
        carried = kvtest.bin_resource(exe, kvtest.ENGINE_RES_ID)[2]
    else:
        exe, carried = env.korvane_exe(), None   # no engine at all: the same box
    env.clear_temp()
    env.serve_catalogue(["http://127.0.0.1:1/xp.vex"], ["http://127.0.0.1:1/w7.vex"])
    proc = env.start(exe)
    xid = sc.box_window(env, proc, timeout=60)
    got = sc.box_picture(env, xid, "startup/damaged-engine-box.png")
    sc.assert_same_picture(got, engine_box, "damaged engine")
    if carried is not None:
        assert env.temp_files() == ["DLEngine.dll", "ZLib1.dll"], "temp holds %s" % env.temp_files()
        folders = env.private_folders()
        assert len(folders) == 1, "private folders: %s" % folders
        written = os.path.getsize(os.path.join(env.temp_dir_host(), folders[0], "DLEngine.dll"))
        assert written == carried, "DLEngine.dll of %d bytes written, the program carries %d" % (written, carried)
    else:
        assert env.temp_files() == [], "temp holds %s" % env.temp_files()
    sc.close_box(env, xid)
    assert env.wait_exit(proc, 20) == 0
    assert env.temp_files() == [] and env.private_folders() == [], "left behind: %s" % env.private_folders()


def goes_on(env, xp, win7, extra, label, engine_box):
    """Start-up reads the catalogue, deletes it and goes on to the engine: the main window
    when the build carries the engine, else the engine failure box."""
    env.clear_temp()
    env.serve_catalogue(xp, win7, extra)
    proc = env.start(env.korvane_exe())
    if env.carries_engine():
        env.main_window(proc, what="%s: the main window" % label)
        files = env.temp_files()
        assert files == ["DLEngine.dll", "ZLib1.dll"], "%s: temp holds %s" % (label, files)
    else:
        xid = sc.box_window(env, proc, timeout=60)
        got = sc.box_picture(env, xid, "startup/%s-engine-box.png" % label)
        sc.assert_same_picture(got, engine_box, label)
        assert env.temp_files() == [], "%s: temp holds %s" % (label, env.temp_files())
        sc.close_box(env, xid)
        assert env.wait_exit(proc, 20) == 0
    env.stop(proc)


def main():
    with kvtest.Env() as env:
        unreachable(env)
    with kvtest.Env() as env:
        engine_box = sc.reference_box(env, "engine", "startup/expected-engine-box.png")
    with kvtest.Env() as env:
        damaged_engine(env, engine_box)
    with kvtest.Env() as env:
        goes_on(env, None, None, "this is no profile file\r\n", "no-sections", engine_box)
    with kvtest.Env() as env:
        goes_on(env, ["http://127.0.0.1:1/xp.vex"] * 2, ["http://127.0.0.1:1/w7.vex"],
                "[OTHER]\r\nurl1=x\r\n", "complete", engine_box)
    print("catalogue start-up: all scenarios passed")


if __name__ == "__main__":
    main()

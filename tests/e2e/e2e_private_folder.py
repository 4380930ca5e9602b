"""The run's private folder: libraries planted under the names the installer loads
(DLEngine.dll, zlib1.dll, winhttp.dll) in %TEMP% and in the current folder never run inside
it; the engine and its zlib are loaded from a kv-<32 hex> folder under %TEMP%, a new one
each run, holding only them once the catalogue is read, and gone after the exit. Wine's
loader trace (+loaddll) names the file each library came from."""
import os
import re
import shutil

import kvtest

PLANTED = ("DLEngine.dll", "zlib1.dll", "winhttp.dll")


def loads(output, name):
    """(place in the output, Windows path) of each load of the library name that Wine's
    loader reports (its trace doubles the backslashes)."""
    found = [(m.start(), m.group(1).replace("\\\\", "\\")) for m in re.finditer(r'Loaded L"([^"]+)"', output)]
    return [(at, p) for at, p in found if p.lower().endswith("\\" + name.lower())]


def loaded_from(output, name):
    return [p for _, p in loads(output, name)]


def one_run(env, mark, cwd_win):
    proc = env.start(env.korvane_exe(), cwd_win=cwd_win,
                     extra_env={"WINEDEBUG": "+loaddll", "WINEDLLOVERRIDES": "winhttp=n,b;" + kvtest.wine_env.OVERRIDES})
    env.main_window(proc, timeout=120)
    folders = env.private_folders()
    assert len(folders) == 1, "private folders: %s" % folders
    inside = sorted(os.listdir(os.path.join(env.temp_dir_host(), folders[0])))
    assert inside == ["DLEngine.dll", "ZLib1.dll"], "private folder holds %s" % inside
    out = env.output(proc)
    mine = ("\\" + folders[0] + "\\").lower()
    engine = loaded_from(out, "DLEngine.dll")
    assert engine and all(mine in p.lower() for p in engine), "DLEngine.dll loaded from %s" % engine
    # Wine's own user32 imports the zlib1.dll of Wine's system folder, so under Wine that
    # one is in the process before the engine loads (Windows ships none): then it is the
    # one the engine gets, never a planted one.
    zlib = loads(out, "zlib1.dll")
    before_engine = bool(zlib) and zlib[0][0] < loads(out, "DLEngine.dll")[0][0]
    expected = "\\windows\\system32\\" if before_engine else mine
    assert zlib and all(expected in p.lower() for _, p in zlib), "zlib1.dll loaded from %s" % zlib
    for p in loaded_from(out, "winhttp.dll"):
        assert "\\windows\\system32\\" in p.lower(), "winhttp.dll loaded from %s" % p
    assert not os.path.exists(mark), "a planted library ran: %s" % open(mark).read()
    rc = env.exit_via_tray(proc)
    assert rc == 0, "exit code %d" % rc
    assert env.private_folders() == [], "left behind: %s" % env.private_folders()
    return folders[0]


def main():
    with kvtest.Env() as env:
        if not env.carries_engine():
            kvtest.skip("this build carries no engine library: the main dialog cannot open")
        env.clear_temp()
        temp = env.temp_dir_host()
        cwd_host = env.host_path("C:\\kvtest\\planted-cwd")
        os.makedirs(cwd_host, exist_ok=True)
        mark = env.host_path("C:\\kvtest\\planted.mark")
        if os.path.exists(mark):
            os.remove(mark)
        library = env.test_program("app", "kv_planted.dll")
        planted = [os.path.join(d, n) for d in (temp, cwd_host) for n in PLANTED]
        for path in planted:
            shutil.copyfile(library, path)
        try:
            env.serve_catalogue(["http://127.0.0.1:1/xp.vex"], ["http://127.0.0.1:1/w7.vex"])
            first = one_run(env, mark, "C:\\kvtest\\planted-cwd")
            second = one_run(env, mark, "C:\\kvtest\\planted-cwd")
            assert first != second, "the private folder's name was used again"
            with open(library, "rb") as f:
                original = f.read()
            for path in planted:
                with open(path, "rb") as f:
                    assert f.read() == original, "%s was changed" % path
        finally:
            for path in planted:
                if os.path.exists(path):
                    os.remove(path)
    print("private folder: planted libraries never ran, a new folder each run, gone at exit")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

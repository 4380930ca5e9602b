"""The clean-up after the main dialog: ended from the tray menu, Korvane.exe exits with
the dialog's code 0 and removes the libraries it wrote to %TEMP%, and only those: a file
of the same name in its current folder stays."""
import os

import kvtest


def main():
    with kvtest.Env() as env:
        if not env.carries_engine():
            kvtest.skip("this build carries no engine library: the main dialog cannot open")
        env.clear_temp()
        cwd_host = env.host_path("C:\\kvtest\\cwd")
        os.makedirs(cwd_host, exist_ok=True)
        for name in kvtest.PAYLOADS:
            with open(os.path.join(cwd_host, name), "w") as f:
                f.write("not written by the installer")

        env.serve_catalogue(["http://127.0.0.1:1/xp.vex"], ["http://127.0.0.1:1/w7.vex"])
        proc = env.start(env.korvane_exe(), cwd_win="C:\\kvtest\\cwd")
        env.main_window(proc)
        assert env.temp_files() == ["DLEngine.dll", "ZLib1.dll"], "temp holds %s" % env.temp_files()

        rc = env.exit_via_tray(proc)
        assert rc == 0, "exit code %d" % rc
        assert env.temp_files() == [], "left in temp: %s" % env.temp_files()
        for name in kvtest.PAYLOADS:
            with open(os.path.join(cwd_host, name)) as f:
                assert f.read() == "not written by the installer", "%s in the current folder changed" % name
    print("clean-up: removed what was written, kept the rest")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

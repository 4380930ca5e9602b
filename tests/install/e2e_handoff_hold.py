"""While the restore tool runs, nobody else can write, delete, rename or replace the tool,
the image, the marker or the image folder; the tool itself starts and reads them (its log
says the hand-off was whole). Once it has ended, the holds are gone. The image is already
complete on D:, so the hand-off comes at the first poll; the tool stays until its wait file
is removed."""
import os
import subprocess

import kvtest
import install_e2e as ie

MiB = 1 << 20
HELD = ("D:\\ghofile\\Braskmir.exe", "D:\\ghofile\\xp.vex", "D:\\ghofile\\xp.cfg", "D:\\ghofile")


def probe(env, paths):
    """Runs the probe program under Wine against paths; returns {(path, attempt): ok?}."""
    exe = env.install_exe(env.test_program("install", "install_hold_probe.exe"))
    run = subprocess.run([os.path.join(kvtest.TOOLS, "wine-run.sh"), exe] + list(paths),
                         env=env.wine_environ(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=120, cwd=env.host_path("C:\\"))
    assert run.returncode == 0, "probe exit code %d" % run.returncode
    found = {}
    for line in run.stdout.decode("utf-8", "replace").splitlines():
        parts = line.rstrip("\r").split("\t", 2)
        if len(parts) == 3:
            found[(parts[2], parts[0])] = parts[1] == "ok"
    return found


def main():
    with kvtest.Env() as env:
        if not env.carries_engine():
            kvtest.skip("this build carries no engine library: the main dialog cannot open")
        d = env.map_drive("d", size_mb=1500)
        folder = os.path.join(d, "ghofile")
        os.makedirs(folder)
        data = ie.image_bytes(2 * MiB, 7)
        with open(os.path.join(folder, "xp.vex"), "wb") as f:
            f.write(data)
        wait_file = os.path.join(folder, "restore.wait")
        with open(wait_file, "w") as f:
            f.write("120")
        env.serve_catalogue(["http://127.0.0.1:1/xp.vex"], ["http://127.0.0.1:1/w7.vex"])
        env.clear_temp()
        proc, xid = ie.start_installer(env)
        ie.press_install(env, xid)
        env.wait_for(lambda: ie.restore_log_lines(env, "d"), 60, interval=0.2, what="the restore tool")
        line = ie.restore_log_lines(env, "d")[0]
        assert "result=ok" in line, line

        found = probe(env, HELD)
        for path in HELD:
            attempts = ("delete", "rename") if path.endswith("ghofile") else ("write", "delete", "rename", "replace")
            for attempt in attempts:
                assert found.get((path, attempt)) is False, "%s %s while the tool runs: %s" % (
                    attempt, path, found.get((path, attempt)))
        assert ie.read_file(os.path.join(folder, "xp.vex")) == data, "the image was changed"

        os.remove(wait_file)
        ie.wait_hidden(env, xid, timeout=60)
        after = probe(env, ["D:\\ghofile\\xp.cfg"])
        assert after.get(("D:\\ghofile\\xp.cfg", "rename")) is True, "still held after the tool ended: %s" % after
        assert env.exit_via_tray(proc) == 0
    print("hand-off holds: tool, image, marker and folder refused to others while the tool ran")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

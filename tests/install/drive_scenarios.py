"""Runs each DriveScenario test of install_drive_tests.exe with its drives: tmpfs mounts of
the sizes the test's comment names, mapped to drive letters of the build's Wine prefix, and
the partial-download files it names. Everything is unmapped again after each scenario."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kvtest  # noqa: E402

MiB_PER_GiB = 1024
SCENARIOS = {
    "OnlySystemDrive": ({}, []),
    "ExactlyOneGiB": ({"d": 1024}, []),
    # tmpfs sizes are whole pages: the smallest step below 1 GiB.
    "JustBelowOneGiB": ({"d": "%dk" % (1024 * 1024 - 4)}, []),
    "EqualDrives": ({"d": 2048, "e": 2048}, []),
    "MostFreeSpace": ({"d": 2048, "e": 6144, "f": 5120}, []),
    "Win7PartialOnSmallDrive": ({"e": 2048, "f": 100 * 1024}, ["e/ghofile/win7u32.vex.dl"]),
    "XpPartialWinsOverMoreSpace": ({"e": 2048, "f": 100 * 1024}, ["e/ghofile/xp.vex.dl"]),
}


def map_sized(env, letter, size, own_mounts):
    """A drive of size MiB (int) or of a tmpfs size string such as "1048572k"."""
    if isinstance(size, int):
        return env.map_drive(letter, size_mb=size)
    host = env.map_drive(letter)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", host], check=True, timeout=30)
    own_mounts.append(host)
    return host


def main():
    exe = sys.argv[1]
    failed = []
    with kvtest.Env() as env:
        for name, (drives, files) in SCENARIOS.items():
            hosts, own_mounts = {}, []
            for letter, size in drives.items():
                hosts[letter] = map_sized(env, letter, size, own_mounts)
            for f in files:
                letter, rest = f.split("/", 1)
                path = os.path.join(hosts[letter], rest)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                open(path, "wb").close()
            r = subprocess.run([os.path.join(env.build_dir, "wine-run.sh"), exe,
                                "--gtest_filter=DriveScenario." + name],
                               env=env.wine_environ(), capture_output=True, text=True, timeout=120)
            sys.stdout.write(r.stdout)
            if r.returncode != 0 or "[  PASSED  ] 1 test" not in r.stdout:
                failed.append(name)
                sys.stdout.write(r.stderr)
            for host in own_mounts:
                subprocess.run(["umount", host], timeout=30)
            env.unmap_drives()
    print("%d passed, %d failed" % (len(SCENARIOS) - len(failed), len(failed)))
    if failed:
        print("failed scenarios: " + ", ".join(failed))
        sys.exit(1)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The import check refuses a program that imports what Windows XP SP3 lacks and names each
offence: a function the XP headers hide, one they declare though XP lacks it, msvcrt.dll's
secure and locale functions, an import by ordinal and a DLL that is not the system's.
    check_refuses.py CHECK... PROGRAM"""
import os
import subprocess
import sys

EXPECTED = [
    "KERNEL32.dll!GetTickCount64: not declared for Windows XP SP3",
    "KERNEL32.dll!AddDllDirectory: newer than Windows XP",
    "msvcrt.dll!strcpy_s: secure",
    "msvcrt.dll!_strtod_l: function taking a locale object",
    "ordinal 16 from SHLWAPI.dll",
    "imports zlib1.dll, which is neither a system DLL nor allowed",
]


def main(argv):
    r = subprocess.run(argv, capture_output=True, text=True, timeout=300)
    print(r.stdout + r.stderr)
    refused = [l for l in r.stdout.splitlines() if l.startswith("NOT ON WINDOWS XP SP3: ")]
    missing = [e for e in EXPECTED if not any(e in l for l in refused)]
    extra = [l for l in refused if not any(e in l for e in EXPECTED)]
    assert r.returncode == 1, "exit code %d" % r.returncode
    assert not missing, "not named: %s" % missing
    assert not extra, "named though XP has it: %s" % extra
    print("ok: %d offences named in %s" % (len(refused), os.path.basename(argv[-1])))


if __name__ == "__main__":
    main(sys.argv[1:])

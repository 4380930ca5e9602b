"""Checks that Windows programs of this build import only DLLs that Windows ships (the
engine library may import its zlib too). Reads the import tables with objdump -p.
    check_imports.py OBJDUMP [--allow NAME.dll] FILE... [-- [--allow ...] FILE...]"""
import subprocess
import sys

SYSTEM = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
          "ole32.dll", "oleaut32.dll", "comctl32.dll", "gdiplus.dll", "msimg32.dll", "urlmon.dll",
          "wininet.dll", "winhttp.dll", "ws2_32.dll", "msvcrt.dll", "imagehlp.dll", "version.dll",
          "crypt32.dll"}


def imports(objdump, path):
    out = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    return [l.split("DLL Name:", 1)[1].strip() for l in out.splitlines() if "DLL Name:" in l]


def main(argv):
    objdump, groups = argv[0], [[]]
    for a in argv[1:]:
        if a == "--":
            groups.append([])
        else:
            groups[-1].append(a)
    bad = []
    for group in groups:
        allowed = set(SYSTEM)
        files = []
        it = iter(group)
        for a in it:
            if a == "--allow":
                allowed.add(next(it).lower())
            else:
                files.append(a)
        for path in files:
            names = imports(objdump, path)
            if not names:
                bad.append("%s: no import table found" % path)
            for name in names:
                if name.lower() not in allowed:
                    bad.append("%s imports %s" % (path, name))
            print("%s: %s" % (path, ", ".join(names)))
    for b in bad:
        print("NOT ALLOWED: " + b)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

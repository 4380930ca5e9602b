#!/usr/bin/env python3
"""DLEngine.dll imports only system DLLs and the carried zlib (which it really uses for
crc32), and no function that Windows XP SP3 lacks. Usage: check_dll_imports.py OBJDUMP DLL"""
import subprocess
import sys

ALLOWED_DLLS = {"kernel32.dll", "msvcrt.dll", "ws2_32.dll", "winhttp.dll", "zlib1.dll"}
# Functions newer than Windows XP that toolchain runtimes and careless code tend to pull in.
NEWER_THAN_XP = {
    "GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "InitializeConditionVariable",
    "SleepConditionVariableCS", "SleepConditionVariableSRW", "WakeConditionVariable",
    "WakeAllConditionVariable", "InitOnceExecuteOnce", "InitOnceBeginInitialize", "CancelIoEx",
    "GetFinalPathNameByHandleW", "CreateSymbolicLinkW", "FlsAlloc", "FlsGetValue", "FlsSetValue",
    "FlsFree", "GetFileInformationByHandleEx", "SetFileInformationByHandle", "CreateEventExW",
    "WaitForSingleObjectEx", "InitializeCriticalSectionEx", "GetSystemTimePreciseAsFileTime",
    "inet_pton", "inet_ntop", "WSAPoll", "GetAddrInfoW", "GetAddrInfoExW", "FreeAddrInfoW",
}


def main():
    objdump, dll = sys.argv[1], sys.argv[2]
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    dlls, funcs, current = set(), [], None
    in_imports = False
    for line in text.splitlines():
        if "The Import Tables" in line:
            in_imports = True
        elif "The Export Tables" in line:
            in_imports = False
        if not in_imports:
            continue
        if "DLL Name:" in line:
            current = line.split("DLL Name:")[1].strip().lower()
            dlls.add(current)
            continue
        parts = line.split()
        if current and len(parts) == 3 and all(c in "0123456789abcdef" for c in parts[0]) and parts[1].isdigit():
            funcs.append((current, parts[2]))
    bad_dlls = dlls - ALLOWED_DLLS
    newer = sorted("%s!%s" % f for f in funcs if f[1] in NEWER_THAN_XP)
    assert not bad_dlls, "imports DLLs that are not the system's or the carried zlib: %s" % sorted(bad_dlls)
    assert ("zlib1.dll", "crc32") in funcs, "the record's CRC-32 must come from the carried zlib"
    assert not newer, "imports functions Windows XP lacks: %s" % newer
    print("ok: %d functions from %s" % (len(funcs), ", ".join(sorted(dlls))))


if __name__ == "__main__":
    main()

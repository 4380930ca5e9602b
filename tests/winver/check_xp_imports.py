#!/usr/bin/env python3
"""Checks that shipped binaries start on Windows XP SP3: every imported DLL is one that
Windows ships (or one the binary is allowed to carry), and every function imported from a
system DLL is one that XP SP3 exports.

    check_xp_imports.py OBJDUMP CXX FILE [--allow NAME.dll] [--require DLL!FUNC] [FILE ...]

--allow and --require apply to the FILE before them. Exit code 1 names each offending DLL
and function.

How a function is judged:
- From a system DLL other than msvcrt.dll: a probe that takes the function's address is
  compiled against that DLL's Windows headers with _WIN32_WINNT=0x0501 (XP) and
  NTDDI_VERSION=NTDDI_WINXPSP3. A function those headers do not declare fails; the
  compiler's diagnostics name the probe lines that failed. All probes of one DLL are one
  compile. The headers are not perfect in either direction, so two short lists correct them:
  functions XP has that the headers hide at 0x0501, and functions newer than XP that the
  headers declare without a version guard.
- From msvcrt.dll: XP's msvcrt.dll is older than what mingw-w64's CRT headers describe, so
  the families it lacks are refused by name.
- Imports by ordinal from a system DLL are refused: an ordinal names no function that
  could be checked, and ordinals differ between Windows versions.
"""
import concurrent.futures
import os
import re
import subprocess
import sys
import tempfile

# DLL -> headers that declare its functions (besides windows.h) and namespaces to open.
SYSTEM_DLLS = {
    "kernel32.dll": [], "user32.dll": [], "gdi32.dll": [], "advapi32.dll": ["sddl.h"],
    "msimg32.dll": [], "version.dll": [],
    "shell32.dll": ["shellapi.h", "shlobj.h"],
    "shlwapi.dll": ["shlwapi.h"],
    "ole32.dll": ["objbase.h"],
    "oleaut32.dll": ["oleauto.h"],
    "comctl32.dll": ["commctrl.h"],
    "gdiplus.dll": ["gdiplus.h", "using namespace Gdiplus;", "using namespace Gdiplus::DllExports;"],
    "urlmon.dll": ["urlmon.h"],
    "wininet.dll": ["wininet.h"],
    "winhttp.dll": ["winhttp.h"],
    "ws2_32.dll": ["winsock2.h", "ws2tcpip.h"],
    "imagehlp.dll": ["imagehlp.h"],
    "crypt32.dll": ["wincrypt.h"],
    "msvcrt.dll": None,   # judged by name, below
}

PRELUDE = """#define _WIN32_WINNT 0x0501
#define WINVER 0x0501
#define NTDDI_VERSION 0x05010300
#define _WIN32_IE 0x0600
"""

# On XP SP3, but the headers declare them only for a later _WIN32_WINNT. An entry needs
# Microsoft's documentation of the function saying so ("Minimum supported client"); none of
# the functions imported today needs one (SetDllDirectoryW, XP SP1, is declared at 0x0501).
ON_XP_THOUGH_HIDDEN = set()

# Newer than XP, but mingw-w64's headers declare them at 0x0501 (found by probing well-known
# later functions; "Minimum supported client" from Microsoft's documentation).
NEWER_THAN_XP = {
    # Windows 8, or Windows 7 with KB2533623.
    ("kernel32.dll", n) for n in ("AddDllDirectory", "RemoveDllDirectory", "SetDefaultDllDirectories")
} | {
    # Windows Vista (Server 2003, XP x64 Edition): not in 32-bit XP SP3.
    ("kernel32.dll", n) for n in ("AddVectoredContinueHandler", "RemoveVectoredContinueHandler",
                                  "GetCurrentProcessorNumber", "GetThreadId",
                                  "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection")
} | {
    # Windows 7 and 8.
    ("kernel32.dll", n) for n in ("GetThreadErrorMode", "SetThreadErrorMode", "RaiseFailFastException",
                                  "GetOverlappedResultEx", "GetSystemTimePreciseAsFileTime")
} | {
    ("user32.dll", n) for n in ("ShutdownBlockReasonCreate", "ShutdownBlockReasonDestroy",
                                "ShutdownBlockReasonQuery")                        # Vista
} | {
    ("advapi32.dll", n) for n in ("RegGetValueA", "RegGetValueW",
                                  "RegDeleteKeyExA", "RegDeleteKeyExW")            # Vista, XP x64
} | {
    # GDI+ 1.1 (Windows Vista); XP has GDI+ 1.0. gdiplusflat.h has no version guard at all.
    ("gdiplus.dll", n) for n in (
        "GdipBitmapApplyEffect", "GdipBitmapConvertFormat", "GdipBitmapCreateApplyEffect",
        "GdipBitmapGetHistogram", "GdipBitmapGetHistogramSize", "GdipConvertToEmfPlus",
        "GdipConvertToEmfPlusToFile", "GdipConvertToEmfPlusToStream", "GdipCreateEffect",
        "GdipDeleteEffect", "GdipDrawImageFX", "GdipFindFirstImageItem", "GdipFindNextImageItem",
        "GdipGetEffectParameterSize", "GdipGetEffectParameters", "GdipGetImageItemData",
        "GdipGraphicsSetAbort", "GdipImageSetAbort", "GdipInitializePalette",
        "GdipSetEffectParameters")
} | {
    # Windows 8 and later; XP has WinHTTP 5.1. winhttp.h has no version guard either.
    ("winhttp.dll", n) for n in (
        "WinHttpCreateProxyResolver", "WinHttpFreeProxyResult", "WinHttpGetProxyForUrlEx",
        "WinHttpGetProxyResult", "WinHttpGetProxySettingsVersion", "WinHttpReadProxySettings",
        "WinHttpResetAutoProxy", "WinHttpWebSocketClose", "WinHttpWebSocketCompleteUpgrade",
        "WinHttpWebSocketQueryCloseStatus", "WinHttpWebSocketReceive", "WinHttpWebSocketSend",
        "WinHttpWebSocketShutdown", "WinHttpWriteProxySettings")
}

# msvcrt.dll: XP's has none of the secure functions (*_s), no locale objects (_create_locale,
# the *_l functions), no _fseeki64/_ftelli64 and no _set_*/_get_* handler functions (those
# came with Visual C++ 2005's CRT and reached msvcrt.dll with Vista).
MSVCRT_NOT_ON_XP = [
    (re.compile(r"_s$"), "secure *_s function"),
    (re.compile(r"_l$"), "function taking a locale object (*_l)"),
    (re.compile(r"^_w?(create|free)_locale$|^_configthreadlocale$"), "locale object"),
    (re.compile(r"^_f(seek|tell)i64"), "_fseeki64/_ftelli64"),
    (re.compile(r"^_(set|get)_"), "_set_*/_get_* handler"),
]


def read_imports(objdump, path):
    """[(dll, name or None, ordinal or None)] from the binary's import tables."""
    text = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    out, dll, inside = [], None, False
    for line in text.splitlines():
        if "The Import Tables" in line:
            inside = True
            continue
        if re.match(r"^The .* Tables", line) or line.startswith("PE File Base Relocations"):
            inside = False
        if not inside:
            continue
        m = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1)
            continue
        parts = line.split()
        # "<hint-name address> <hint or ordinal> <name or <none>>"; the directory's own
        # rows have six columns.
        if dll is None or len(parts) != 3 or not re.fullmatch(r"[0-9a-fA-F]+", parts[0]) \
                or not parts[1].isdigit():
            continue
        if parts[2] == "<none>":
            out.append((dll, None, int(parts[1])))
        else:
            out.append((dll, parts[2], None))
    return out


def probe_dll(cxx, dll, names, tmp):
    """{name: reason} for the functions of names that XP's headers do not declare."""
    headers = SYSTEM_DLLS[dll]
    lines = PRELUDE.splitlines() + ["#include <winsock2.h>" if dll == "ws2_32.dll" else "#include <windows.h>"]
    for h in headers:
        lines.append(h if h.startswith("using ") else "#include <%s>" % h)
    first = len(lines) + 1
    ordered = sorted(names)
    for i, n in enumerate(ordered):
        lines.append("const void* const kv_probe_%d = reinterpret_cast<const void*>(&%s);" % (i, n))
    src = os.path.join(tmp, re.sub(r"\W", "_", dll) + ".cpp")
    with open(src, "w") as f:
        f.write("\n".join(lines) + "\n")
    r = subprocess.run([cxx, "-x", "c++", "-std=c++17", "-fsyntax-only", "-w", "-fmax-errors=0", src],
                       capture_output=True, text=True)
    if r.returncode == 0:
        return {}
    failed, other = {}, []
    for msg in r.stderr.splitlines():
        m = re.match(r"^%s:(\d+):\d+: error: (.*)$" % re.escape(src), msg)
        if not m:
            continue
        k = int(m.group(1)) - first
        if 0 <= k < len(ordered):
            failed.setdefault(ordered[k], m.group(2))
        else:
            other.append(msg)
    if other or not failed:
        # The headers themselves did not compile: nothing can be judged, which is a failure.
        raise RuntimeError("probe for %s does not compile:\n%s" % (dll, r.stderr[-3000:]))
    return failed


def msvcrt_reason(name):
    for pattern, what in MSVCRT_NOT_ON_XP:
        if pattern.search(name):
            return what
    return None


def parse_args(argv):
    objdump, cxx, files = argv[0], argv[1], []
    it = iter(argv[2:])
    for a in it:
        if a == "--allow":
            files[-1]["allow"].add(next(it).lower())
        elif a == "--require":
            files[-1]["require"].append(next(it))
        else:
            files.append({"path": a, "allow": set(), "require": []})
    return objdump, cxx, files


def dll_offences(f, imports):
    """Offences against the DLL rules: DLLs that are not the system's (unless allowed to
    this binary), imports by ordinal from a system DLL, required imports that are missing."""
    base, bad = os.path.basename(f["path"]), []
    if not imports:
        bad.append("%s: no import table found" % base)
    for dll, name, ordinal in imports:
        key = dll.lower()
        if key not in SYSTEM_DLLS and key not in f["allow"]:
            bad.append("%s imports %s, which is neither a system DLL nor allowed to it" % (base, dll))
        elif key in SYSTEM_DLLS and ordinal is not None:
            bad.append("%s imports ordinal %d from %s: import it by name so it can be checked"
                       % (base, ordinal, dll))
    for req in f["require"]:
        rdll, rname = req.split("!")
        if not any(d.lower() == rdll.lower() and n == rname for d, n, _ in imports):
            bad.append("%s does not import %s" % (base, req))
    return bad


def probe_all(cxx, per_file):
    """{dll: {name: reason}} for every probed function the XP headers do not declare."""
    wanted = {}
    for _, imports in per_file:
        for dll, name, _ in imports:
            key = dll.lower()
            if name and SYSTEM_DLLS.get(key) is not None and (key, name) not in ON_XP_THOUGH_HIDDEN:
                wanted.setdefault(key, set()).add(name)
    # Two compiles at a time: the machines this runs on are small and shared.
    with tempfile.TemporaryDirectory(prefix="kv-xp-probe-") as tmp, \
            concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        jobs = {dll: pool.submit(probe_dll, cxx, dll, names, tmp) for dll, names in wanted.items()}
        return {dll: job.result() for dll, job in jobs.items()}


def function_reason(key, name, missing):
    """Why a function imported by name from system DLL key is not on XP SP3, or None."""
    if SYSTEM_DLLS[key] is None:
        return msvcrt_reason(name)
    if (key, name) in NEWER_THAN_XP:
        return "newer than Windows XP (the headers declare it for every version)"
    reason = missing.get(key, {}).get(name)
    return "not declared for Windows XP SP3: " + reason if reason else None


def main(argv):
    objdump, cxx, files = parse_args(argv)
    per_file = [(f, read_imports(objdump, f["path"])) for f in files]
    bad = [b for f, imports in per_file for b in dll_offences(f, imports)]
    missing = probe_all(cxx, per_file)
    for f, imports in per_file:
        base = os.path.basename(f["path"])
        for dll, name, _ in imports:
            reason = name and dll.lower() in SYSTEM_DLLS and function_reason(dll.lower(), name, missing)
            if reason:
                bad.append("%s imports %s!%s: %s" % (base, dll, name, reason))
        dlls = list(dict.fromkeys(dll for dll, _, _ in imports))
        print("%s: %d functions from %s" % (base, len(imports), ", ".join(dlls)))
    for b in bad:
        print("NOT ON WINDOWS XP SP3: " + b)
    if not bad:
        print("ok: every import of %d binaries is on Windows XP SP3" % len(files))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

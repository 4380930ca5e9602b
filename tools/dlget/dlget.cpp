// dlget: downloads one URL to a path through DLEngine.dll, bound by the installer's own code
// (LoadDLEngine, CDLEngine::StartTask with its resume policy), printing one line per change.
// Tests and benchmarks drive it; so can a person. Mirrors, an expected size or SHA-256, a
// mirror added later, a shorter patience and a verify-only run go through the extended entry
// points instead (bound by name from the loaded library). Exit codes: 0 finished (or the file
// was already there), 1 the task failed, 2 bad use or a refused call, 3 time-out, 4 stopped.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <shlwapi.h>
#include "engine/DLEngine.h"
#include "engine/EngineBinding.h"

namespace {

enum Mode { MODE_START, MODE_CREATE, MODE_RESUME, MODE_VERIFY };

// The extended entry points, bound by name when the options need them.
struct ExtendedEntryPoints
{
    PFN_DLCreateTaskEx pfnCreateTaskEx;
    PFN_DLContinueTaskFromWorkFileEx pfnContinueEx;
    PFN_DLAddTaskMirror pfnAddMirror;
    PFN_DLQueryTaskInfoEx pfnQueryEx;
    PFN_DLVerifyFile pfnVerifyFile;
    PFN_DLSetEngineOption pfnSetOption;
};
ExtendedEntryPoints g_ext;
const int kMaxMirrors = 16;

struct Options
{
    Mode mode;
    LPCWSTR pszUrl;
    LPCWSTR pszPath;
    LPCWSTR pszReferrer;
    LPCWSTR pszEngineDir;
    ULONGLONG ullStopAfter;  // 0 = never
    ULONGLONG ullKillAfter;
    ULONGLONG ullPauseAfter;
    DWORD dwStopAtMs;  // 0 = never
    DWORD dwPauseMs;
    DWORD dwTimeoutSec;
    DWORD dwIntervalMs;
    BOOL bQuiet;
    BOOL bExtended;  // any of the options below
    LPCWSTR apszMirrors[kMaxMirrors];
    int nMirrors;
    ULONGLONG ullSize;
    LPCWSTR pszSha256;
    ULONGLONG ullAddMirrorAfter;
    LPCWSTR pszAddMirror;
    ULONGLONG ullPatienceMs;
};

const char kUsage[] =
    "usage: dlget [options] URL PATH\n"
    "  --create          always start a new task (no resume from work files)\n"
    "  --resume          only resume from PATH.dl and PATH.dl.cfg (the engine's verdict is the result)\n"
    "  --referrer URL    send a referrer\n"
    "  --stop-after N    stop the task once N bytes are received (exit 4)\n"
    "  --kill-after N    end this process abruptly once N bytes are received\n"
    "  --pause-after N   pause once N bytes are received, wait --pause-ms (default 500), continue\n"
    "  --stop-at-ms MS   stop the task MS ms after it started, whatever it is doing; prints how\n"
    "                    long the stop and the engine's shut-down took (STOPTIME, UNINITTIME)\n"
    "  --timeout S       give up after S seconds (default 600, exit 3)\n"
    "  --interval MS     poll interval (default 100)\n"
    "  --engine-dir DIR  load DLEngine.dll from DIR\n"
    "  --quiet           no progress lines\n"
    "  --mirror URL      another address of the same file (repeatable; extended entry points)\n"
    "  --size N          the expected size\n"
    "  --sha256 HEX      the expected SHA-256\n"
    "  --add-mirror-after N URL  add URL as a mirror once N bytes are received\n"
    "  --patience MS     the engine's patience window\n"
    "  --verify          only verify PATH against --sha256 (and --size)\n";

void Out(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    vprintf(pszFormat, args);
    va_end(args);
    fflush(stdout);
}

void PrintError(const char* pszWhat, LONG lCode)
{
    WCHAR szText[256];
    szText[0] = L'\0';
    if (g_dlEngine.pfnGetErrorMsg != NULL)
        g_dlEngine.pfnGetErrorMsg(lCode, szText, 256);
    Out("%s %ld %ls\n", pszWhat, lCode, szText);
}

BOOL ParseCount(LPCWSTR psz, ULONGLONG* pValue)
{
    WCHAR* pEnd = NULL;
    ULONGLONG v = _wcstoui64(psz, &pEnd, 10);
    if (pEnd == psz || *pEnd != L'\0')
        return FALSE;
    *pValue = v;
    return TRUE;
}

BOOL ParseArgs(int argc, wchar_t** argv, Options* pOpt)
{
    ZeroMemory(pOpt, sizeof(*pOpt));
    pOpt->mode = MODE_START;
    pOpt->dwPauseMs = 500;
    pOpt->dwTimeoutSec = 600;
    pOpt->dwIntervalMs = 100;
    LPCWSTR positional[2] = { NULL, NULL };
    int nPositional = 0;
    for (int i = 1; i < argc; ++i) {
        LPCWSTR a = argv[i];
        BOOL bHasValue = i + 1 < argc;
        ULONGLONG v = 0;
        if (lstrcmpW(a, L"--create") == 0) {
            pOpt->mode = MODE_CREATE;
        } else if (lstrcmpW(a, L"--resume") == 0) {
            pOpt->mode = MODE_RESUME;
        } else if (lstrcmpW(a, L"--verify") == 0) {
            pOpt->mode = MODE_VERIFY;
            pOpt->bExtended = TRUE;
        } else if (lstrcmpW(a, L"--mirror") == 0 && bHasValue && pOpt->nMirrors < kMaxMirrors) {
            pOpt->apszMirrors[pOpt->nMirrors++] = argv[++i];
            pOpt->bExtended = TRUE;
        } else if (lstrcmpW(a, L"--size") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->ullSize = v;
            pOpt->bExtended = TRUE;
            ++i;
        } else if (lstrcmpW(a, L"--sha256") == 0 && bHasValue) {
            pOpt->pszSha256 = argv[++i];
            pOpt->bExtended = TRUE;
        } else if (lstrcmpW(a, L"--add-mirror-after") == 0 && i + 2 < argc && ParseCount(argv[i + 1], &v)) {
            pOpt->ullAddMirrorAfter = v;
            pOpt->pszAddMirror = argv[i + 2];
            pOpt->bExtended = TRUE;
            i += 2;
        } else if (lstrcmpW(a, L"--patience") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->ullPatienceMs = v;
            pOpt->bExtended = TRUE;
            ++i;
        } else if (lstrcmpW(a, L"--quiet") == 0) {
            pOpt->bQuiet = TRUE;
        } else if (lstrcmpW(a, L"--referrer") == 0 && bHasValue) {
            pOpt->pszReferrer = argv[++i];
        } else if (lstrcmpW(a, L"--engine-dir") == 0 && bHasValue) {
            pOpt->pszEngineDir = argv[++i];
        } else if (lstrcmpW(a, L"--stop-after") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->ullStopAfter = v;
            ++i;
        } else if (lstrcmpW(a, L"--kill-after") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->ullKillAfter = v;
            ++i;
        } else if (lstrcmpW(a, L"--pause-after") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->ullPauseAfter = v;
            ++i;
        } else if (lstrcmpW(a, L"--stop-at-ms") == 0 && bHasValue && ParseCount(argv[i + 1], &v) && v > 0) {
            pOpt->dwStopAtMs = (DWORD)v;
            ++i;
        } else if (lstrcmpW(a, L"--pause-ms") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->dwPauseMs = (DWORD)v;
            ++i;
        } else if (lstrcmpW(a, L"--timeout") == 0 && bHasValue && ParseCount(argv[i + 1], &v)) {
            pOpt->dwTimeoutSec = (DWORD)v;
            ++i;
        } else if (lstrcmpW(a, L"--interval") == 0 && bHasValue && ParseCount(argv[i + 1], &v) && v > 0) {
            pOpt->dwIntervalMs = (DWORD)v;
            ++i;
        } else if (a[0] != L'-' && nPositional < 2) {
            positional[nPositional++] = a;
        } else {
            return FALSE;
        }
    }
    // A resume or a verification needs no URL: "dlget --resume PATH" is accepted too.
    if ((pOpt->mode == MODE_RESUME || pOpt->mode == MODE_VERIFY) && nPositional == 1) {
        pOpt->pszPath = positional[0];
        return TRUE;
    }
    if (nPositional != 2)
        return FALSE;
    pOpt->pszUrl = positional[0];
    pOpt->pszPath = positional[1];
    return TRUE;
}

BOOL BindExtended()
{
    HMODULE h = ::GetModuleHandleW(L"DLEngine.dll");
    if (h == NULL)
        return FALSE;
    g_ext.pfnCreateTaskEx = (PFN_DLCreateTaskEx)::GetProcAddress(h, "DLCreateTaskEx");
    g_ext.pfnContinueEx = (PFN_DLContinueTaskFromWorkFileEx)::GetProcAddress(h, "DLContinueTaskFromWorkFileEx");
    g_ext.pfnAddMirror = (PFN_DLAddTaskMirror)::GetProcAddress(h, "DLAddTaskMirror");
    g_ext.pfnQueryEx = (PFN_DLQueryTaskInfoEx)::GetProcAddress(h, "DLQueryTaskInfoEx");
    g_ext.pfnVerifyFile = (PFN_DLVerifyFile)::GetProcAddress(h, "DLVerifyFile");
    g_ext.pfnSetOption = (PFN_DLSetEngineOption)::GetProcAddress(h, "DLSetEngineOption");
    return g_ext.pfnCreateTaskEx && g_ext.pfnContinueEx && g_ext.pfnAddMirror && g_ext.pfnQueryEx &&
           g_ext.pfnVerifyFile && g_ext.pfnSetOption;
}

// The task through the extended entry points: the URL and the mirrors as one address list.
LONG StartExtended(const Options& opt, LONG* plError)
{
    LONG lTask = 0;
    if (opt.ullPatienceMs != 0 && (*plError = g_ext.pfnSetOption(DL_OPTION_PATIENCE_MS, opt.ullPatienceMs)) != 0)
        return 0;
    if (opt.mode == MODE_VERIFY) {
        *plError = g_ext.pfnVerifyFile(opt.pszPath, opt.ullSize, opt.pszSha256, &lTask);
        return lTask;
    }
    LPCWSTR apsz[kMaxMirrors + 1];
    int n = 0;
    if (opt.pszUrl != NULL)
        apsz[n++] = opt.pszUrl;
    for (int i = 0; i < opt.nMirrors; ++i)
        apsz[n++] = opt.apszMirrors[i];
    DL_TASK_PARAMS params;
    ZeroMemory(&params, sizeof(params));
    params.cbSize = sizeof(params);
    params.pszPath = opt.pszPath;
    params.ppszUrls = apsz;
    params.cUrls = n;
    params.pszReferrer = opt.pszReferrer;
    params.ullExpectedSize = opt.ullSize;
    params.pszSha256 = opt.pszSha256;
    if (opt.mode == MODE_RESUME) {
        WCHAR szWork[MAX_PATH + 8];
        _snwprintf(szWork, MAX_PATH + 8, L"%ls.dl", opt.pszPath);
        szWork[MAX_PATH + 7] = L'\0';
        *plError = g_ext.pfnContinueEx(szWork, &params, &lTask);
    } else {
        *plError = g_ext.pfnCreateTaskEx(&params, &lTask);
    }
    return lTask;
}

LONG StartDownload(CDLEngine& engine, const Options& opt, LONG* plError)
{
    *plError = 0;
    if (opt.bExtended)
        return StartExtended(opt, plError);
    if (opt.mode == MODE_CREATE)
        return engine.CreateTask(opt.pszPath, opt.pszUrl, opt.pszReferrer, plError);
    if (opt.mode == MODE_RESUME) {
        WCHAR szWork[MAX_PATH + 8];
        _snwprintf(szWork, MAX_PATH + 8, L"%ls.dl", opt.pszPath);
        szWork[MAX_PATH + 7] = L'\0';
        return engine.ResumeTask(szWork, plError);
    }
    return engine.StartTask(opt.pszPath, opt.pszUrl, opt.pszReferrer, plError);
}

// Polls the task until it ends, a limit of the options is reached or time runs out.
int Watch(CDLEngine& engine, LONG lTask, const Options& opt)
{
    DWORD dwStart = ::GetTickCount();
    LONG lLastStatus = -1;
    ULONGLONG ullLastReceived = ~0ull;
    BOOL bPaused = FALSE;
    BOOL bMirrorAdded = FALSE;
    DL_TASK_INFO last;
    ZeroMemory(&last, sizeof(last));
    last.lMirrors = -1;
    for (;;) {
        LONG lStatus = 0;
        ULONGLONG ullTotal = 0, ullReceived = 0;
        engine.QueryTask(lTask, &ullReceived, &ullTotal, &lStatus);
        if (!opt.bQuiet && (lStatus != lLastStatus || ullReceived != ullLastReceived))
            Out("PROGRESS %ld %I64u %I64u\n", lStatus, ullReceived, ullTotal);
        lLastStatus = lStatus;
        ullLastReceived = ullReceived;
        if (opt.bExtended) {
            // The detail the installer shows: hashing progress, mirrors in use, the last fault.
            DL_TASK_INFO info;
            ZeroMemory(&info, sizeof(info));
            info.cbSize = sizeof(info);
            if (g_ext.pfnQueryEx(lTask, &info) == 0 && !opt.bQuiet &&
                (info.ullVerified != last.ullVerified || info.lMirrors != last.lMirrors ||
                 info.lLastError != last.lLastError))
                Out("INFO verified=%I64u mirrors=%ld connections=%ld error=%ld stalled=%lu\n", info.ullVerified,
                    info.lMirrors, info.lConnections, info.lLastError, info.dwStalledMs);
            last = info;
        }
        if (!bMirrorAdded && opt.pszAddMirror != NULL && ullReceived >= opt.ullAddMirrorAfter) {
            bMirrorAdded = TRUE;
            Out("ADDED %ld\n", g_ext.pfnAddMirror(lTask, opt.pszAddMirror));
        }

        if (lStatus == DL_STATUS_FINISHED) {
            Out("FINISHED %I64u\n", ullTotal);
            return 0;
        }
        if (DL_STATUS_IS_FAILED(lStatus)) {
            PrintError("FAILED", DL_FAILED_ERROR(lStatus));
            return 1;
        }
        if (lStatus == DL_STATUS_STOPPED) {
            Out("STOPPED %I64u %I64u\n", ullReceived, ullTotal);
            return 4;
        }
        if (opt.ullKillAfter != 0 && ullReceived >= opt.ullKillAfter) {
            Out("KILLED %I64u %I64u\n", ullReceived, ullTotal);
            ::TerminateProcess(::GetCurrentProcess(), 9);
        }
        if (opt.ullStopAfter != 0 && ullReceived >= opt.ullStopAfter) {
            engine.StopTask(lTask);
            engine.QueryTask(lTask, &ullReceived, &ullTotal, &lStatus);
            Out("STOPPED %I64u %I64u\n", ullReceived, ullTotal);
            return 4;
        }
        if (opt.dwStopAtMs != 0 && (::GetTickCount() - dwStart) >= opt.dwStopAtMs) {
            DWORD dwStopStart = ::GetTickCount();
            engine.StopTask(lTask);
            Out("STOPTIME %lu\n", ::GetTickCount() - dwStopStart);
            engine.QueryTask(lTask, &ullReceived, &ullTotal, &lStatus);
            Out("STOPPED %I64u %I64u\n", ullReceived, ullTotal);
            return 4;
        }
        if (!bPaused && opt.ullPauseAfter != 0 && ullReceived >= opt.ullPauseAfter) {
            bPaused = TRUE;
            LONG r = g_dlEngine.pfnPauseTask(lTask, TRUE);
            engine.QueryTask(lTask, &ullReceived, &ullTotal, &lStatus);
            Out("PAUSED %ld %ld %I64u\n", r, lStatus, ullReceived);
            ::Sleep(opt.dwPauseMs);
            r = g_dlEngine.pfnContinueTask(lTask);
            Out("CONTINUED %ld\n", r);
        }
        if ((::GetTickCount() - dwStart) >= opt.dwTimeoutSec * 1000) {
            engine.StopTask(lTask);
            Out("TIMEOUT %I64u %I64u\n", ullReceived, ullTotal);
            return 3;
        }
        ::Sleep(opt.dwIntervalMs);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options opt;
    if (!ParseArgs(argc, argv, &opt)) {
        fputs(kUsage, stderr);
        return 2;
    }
    // Without --engine-dir the engine beside this program is used.
    WCHAR szEngineDir[MAX_PATH + 4];
    if (opt.pszEngineDir != NULL) {
        ::lstrcpynW(szEngineDir, opt.pszEngineDir, ARRAYSIZE(szEngineDir));
    } else {
        // Wine names a program started from a Linux folder outside every drive "unix\..."
        // (its NT path less the "\\?\" prefix); with the prefix back it is a full path.
        ::lstrcpynW(szEngineDir, L"\\\\?\\", ARRAYSIZE(szEngineDir));
        ::GetModuleFileNameW(NULL, szEngineDir + 4, ARRAYSIZE(szEngineDir) - 5);
        if (::StrCmpNIW(szEngineDir + 4, L"unix\\", 5) != 0)
            ::MoveMemory(szEngineDir, szEngineDir + 4, (lstrlenW(szEngineDir + 4) + 1) * sizeof(WCHAR));
        ::PathRemoveFileSpecW(szEngineDir);
    }
    if (LoadDLEngine(szEngineDir) == NULL) {
        Out("ERROR -1 DLEngine.dll could not be loaded or lacks an entry point\n");
        return 2;
    }

    if (opt.bExtended && !BindExtended()) {
        Out("ERROR -1 DLEngine.dll lacks an extended entry point\n");
        return 2;
    }
    CDLEngine engine;
    if (!engine.m_bInit) {
        Out("ERROR -1 the engine did not start\n");
        return 2;
    }
    LONG lError = 0;
    LONG lTask = StartDownload(engine, opt, &lError);
    int nExit;
    if (lTask == 0 && lError == 0 && opt.mode == MODE_START && !opt.bExtended) {
        Out("EXISTS\n");  // the target is already there: no engine call was made
        nExit = 0;
    } else if (lTask == 0) {
        PrintError("ERROR", lError);
        nExit = 2;
    } else {
        Out("TASK %ld\n", lTask);
        nExit = Watch(engine, lTask, opt);
    }
    DWORD dwUninitStart = ::GetTickCount();
    engine.Uninit();
    if (opt.dwStopAtMs != 0)
        Out("UNINITTIME %lu\n", ::GetTickCount() - dwUninitStart);
    return nExit;
}

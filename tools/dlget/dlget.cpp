// dlget: downloads one URL to a path through DLEngine.dll, bound by the installer's own code
// (LoadDLEngine, CDLEngine::StartTask with its resume policy), printing one line per change.
// Tests and benchmarks drive it; so can a person. Exit codes: 0 finished (or the file was
// already there), 1 the task failed, 2 bad use or a refused call, 3 time-out, 4 stopped.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include "engine/DLEngine.h"
#include "engine/EngineBinding.h"

namespace {

enum Mode { MODE_START, MODE_CREATE, MODE_RESUME };

struct Options
{
    Mode mode;
    LPCWSTR pszUrl;
    LPCWSTR pszPath;
    LPCWSTR pszReferrer;
    LPCWSTR pszEngineDir;
    ULONGLONG ullStopAfter;    // 0 = never
    ULONGLONG ullKillAfter;
    ULONGLONG ullPauseAfter;
    DWORD dwPauseMs;
    DWORD dwTimeoutSec;
    DWORD dwIntervalMs;
    BOOL bQuiet;
};

const char kUsage[] =
    "usage: dlget [options] URL PATH\n"
    "  --create          always start a new task (no resume from work files)\n"
    "  --resume          only resume from PATH.dl and PATH.dl.cfg (the engine's verdict is the result)\n"
    "  --referrer URL    send a referrer\n"
    "  --stop-after N    stop the task once N bytes are received (exit 4)\n"
    "  --kill-after N    end this process abruptly once N bytes are received\n"
    "  --pause-after N   pause once N bytes are received, wait --pause-ms (default 500), continue\n"
    "  --timeout S       give up after S seconds (default 600, exit 3)\n"
    "  --interval MS     poll interval (default 100)\n"
    "  --engine-dir DIR  load DLEngine.dll from DIR\n"
    "  --quiet           no progress lines\n";

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
    // A resume needs no URL: "dlget --resume PATH" is accepted too.
    if (pOpt->mode == MODE_RESUME && nPositional == 1) {
        pOpt->pszPath = positional[0];
        return TRUE;
    }
    if (nPositional != 2)
        return FALSE;
    pOpt->pszUrl = positional[0];
    pOpt->pszPath = positional[1];
    return TRUE;
}

LONG StartDownload(CDLEngine& engine, const Options& opt, LONG* plError)
{
    *plError = 0;
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
    for (;;) {
        LONG lStatus = 0;
        ULONGLONG ullTotal = 0, ullReceived = 0;
        engine.QueryTask(lTask, &ullReceived, &ullTotal, &lStatus);
        if (!opt.bQuiet && (lStatus != lLastStatus || ullReceived != ullLastReceived))
            Out("PROGRESS %ld %I64u %I64u\n", lStatus, ullReceived, ullTotal);
        lLastStatus = lStatus;
        ullLastReceived = ullReceived;

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
    if (opt.pszEngineDir != NULL)
        ::SetDllDirectoryW(opt.pszEngineDir);
    if (LoadDLEngine() == NULL) {
        Out("ERROR -1 DLEngine.dll could not be loaded or lacks an entry point\n");
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
    if (lTask == 0 && lError == 0 && opt.mode == MODE_START) {
        Out("EXISTS\n");   // the target is already there: no engine call was made
        nExit = 0;
    } else if (lTask == 0) {
        PrintError("ERROR", lError);
        nExit = 2;
    } else {
        Out("TASK %ld\n", lTask);
        nExit = Watch(engine, lTask, opt);
    }
    engine.Uninit();
    return nExit;
}

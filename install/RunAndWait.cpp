#include "Handoff.h"

// Each wait is bounded; the tool itself may run as long as it needs.
static const DWORD kWaitSliceMs = 500;
// Paint messages dispatched per wake-up, so a window that never validates cannot spin here.
static const int kMaxPaintsPerWake = 32;

static void DispatchPaintMessages()
{
    MSG msg;
    for (int i = 0; i < kMaxPaintsPerWake && ::PeekMessageW(&msg, NULL, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        ::DispatchMessageW(&msg);
}

static BOOL WaitForProcessEnd(HANDLE hProcess)
{
    for (;;) {
        DWORD dwRet = ::MsgWaitForMultipleObjects(1, &hProcess, FALSE, kWaitSliceMs, QS_PAINT);
        if (dwRet == WAIT_OBJECT_0)
            return TRUE;
        if (dwRet == WAIT_OBJECT_0 + 1)
            DispatchPaintMessages();
        else if (dwRet != WAIT_TIMEOUT)
            return FALSE;
    }
}

BOOL RunAndWait(LPCWSTR pszApp, LPCWSTR pszArgs)
{
    WCHAR szCmdLine[2048];
    ::lstrcpynW(szCmdLine, pszArgs != NULL ? pszArgs : L"", ARRAYSIZE(szCmdLine) - 1);

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    static_assert(sizeof(si) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOW as Windows lays it out");
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof(pi));
    if (!::CreateProcessW(pszApp, szCmdLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return FALSE;

    BOOL bEnded = WaitForProcessEnd(pi.hProcess);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return bEnded;
}

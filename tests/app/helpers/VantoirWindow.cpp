// Test stand-in for a running installer copy: holds the instance mutex and (unless told
// otherwise) owns a popup window titled "Vantoir", shown or hidden. It logs what happens
// to that window (shown, position, topmost) to a file so a test can see what a second
// copy did to it. "idle" holds neither mutex nor window: a running program that only
// keeps its own file in use. Ends on WM_CLOSE or after 120 s.
//   kv_vantoir_window.exe visible|hidden|nowindow|idle LOGFILE
#include <windows.h>
#include <stdio.h>

static FILE* s_pLog = NULL;  // owned

static void LogState(HWND hWnd, const char* pszEvent)
{
    if (s_pLog == NULL)
        return;
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    LONG lEx = ::GetWindowLongW(hWnd, GWL_EXSTYLE);
    fprintf(s_pLog, "%s visible=%d topmost=%d x=%ld y=%ld w=%ld h=%ld\n", pszEvent, ::IsWindowVisible(hWnd) ? 1 : 0,
            (lEx & WS_EX_TOPMOST) ? 1 : 0, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    fflush(s_pLog);
}

static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_WINDOWPOSCHANGED:
        LogState(hWnd, "poschanged");
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    s_pLog = _wfopen(argv[2], L"w");
    BOOL bIdle = lstrcmpW(argv[1], L"idle") == 0;
    if (!bIdle) {
        HANDLE hMutex = ::CreateMutexW(
            NULL, TRUE, L"VAN:{630E07C3-C457-4CCF-BADF-92B31546C8BA:F2E2C7C9-CD51-4A19-943F-145175968B11}:TOIR");
        if (hMutex == NULL || ::GetLastError() == ERROR_ALREADY_EXISTS)
            return 3;
    }

    HWND hWnd = NULL;
    if (!bIdle && lstrcmpW(argv[1], L"nowindow") != 0) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = ::GetModuleHandleW(NULL);
        wc.hbrBackground = (HBRUSH)::GetStockObject(GRAY_BRUSH);
        wc.lpszClassName = L"KvVantoirStandIn";
        ::RegisterClassW(&wc);
        hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"Vantoir", WS_POPUP, 10, 20, 300, 200, NULL, NULL, wc.hInstance,
                                 NULL);
        if (lstrcmpW(argv[1], L"visible") == 0)
            ::ShowWindow(hWnd, SW_SHOW);
        LogState(hWnd, "ready");
    } else if (s_pLog != NULL) {
        fprintf(s_pLog, "ready %ls\n", argv[1]);
        fflush(s_pLog);
    }

    ::SetTimer(NULL, 0, 120000, NULL);
    MSG msg;
    while (::GetMessageW(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == NULL)
            break;
        ::DispatchMessageW(&msg);
    }
    if (s_pLog != NULL)
        fclose(s_pLog);
    return 0;
}

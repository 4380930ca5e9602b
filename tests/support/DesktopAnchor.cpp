// kv_desktop_anchor.exe: one hidden window that lives for a whole test session.
// Wine closes its desktop (and ends explorer) about a second after the last program that
// uses it ends, and starts it again for the next one. Tests start programs back to back,
// so one would now and then start while the old desktop is being closed: this program
// keeps the desktop in use, so it is made once per session. It ends with the session's
// wineserver.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = hInstance;
    wc.lpszClassName = L"KvDesktopAnchor";
    if (!::RegisterClassW(&wc))
        return 1;
    // Never shown: no test sees it on the display or in the notification area.
    HWND hWnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"kv desktop anchor", WS_POPUP, 0, 0, 1, 1,
                                  NULL, NULL, hInstance, NULL);
    if (hWnd == NULL)
        return 1;
    MSG msg;
    while (::GetMessageW(&msg, NULL, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    return 0;
}

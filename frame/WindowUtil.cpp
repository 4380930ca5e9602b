#include "WindowUtil.h"

BOOL FrameCenterWindow(HWND hWnd)
{
    RECT rcWnd;
    if (!::GetWindowRect(hWnd, &rcWnd))
        return FALSE;

    RECT rcArea;
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    if (hOwner != NULL && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner)) {
        ::GetWindowRect(hOwner, &rcArea);
    } else {
        MONITORINFO mi;
        mi.cbSize = sizeof(mi);
        HMONITOR hMon = ::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST);
        if (hMon == NULL || !::GetMonitorInfoW(hMon, &mi))
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
        else
            rcArea = mi.rcWork;
    }
    int cx = rcWnd.right - rcWnd.left;
    int cy = rcWnd.bottom - rcWnd.top;
    int x = rcArea.left + ((rcArea.right - rcArea.left) - cx) / 2;
    int y = rcArea.top + ((rcArea.bottom - rcArea.top) - cy) / 2;
    return ::SetWindowPos(hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrameDragFromPress(HWND hWnd, LPARAM lParamClient)
{
    // Signed words: a point left of or above a monitor's origin is negative.
    POINT pt = { (short)LOWORD(lParamClient), (short)HIWORD(lParamClient) };
    ::ClientToScreen(hWnd, &pt);
    ::PostMessageW(hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

#include "SingleInstance.h"
#include "frame/WindowUtil.h"

BOOL IsAnotherInstanceRunning()
{
    ::SetLastError(ERROR_SUCCESS);
    HANDLE hMutex = ::CreateMutexW(NULL, TRUE, KORVANE_INSTANCE_MUTEX);
    return hMutex == NULL || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

BOOL RaiseRunningInstance()
{
    HWND hWnd = ::FindWindowW(NULL, KORVANE_MAIN_TITLE);
    if (hWnd == NULL || !::IsWindow(hWnd))
        return FALSE;
    ::ShowWindow(hWnd, SW_SHOW);
    ::SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ::SetWindowPos(hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    FrameCenterWindow(hWnd);
    return TRUE;
}

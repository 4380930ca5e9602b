// A library that somebody else plants under the name of one the installer loads
// (DLEngine.dll, zlib1.dll, winhttp.dll): when any process loads it, it appends that
// process's id and its own path to C:\kvtest\planted.mark, so a test sees that it ran.
#include <windows.h>
#include <shlwapi.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    WCHAR szSelf[MAX_PATH];
    ::GetModuleFileNameW(hInstance, szSelf, MAX_PATH);
    char szLine[MAX_PATH * 3 + 32];
    int n = wnsprintfA(szLine, 32, "%lu ", ::GetCurrentProcessId());
    n += ::WideCharToMultiByte(CP_UTF8, 0, szSelf, -1, szLine + n, (int)sizeof(szLine) - n - 2, NULL, NULL) - 1;
    szLine[n++] = '\n';
    HANDLE h = ::CreateFileW(L"C:\\kvtest\\planted.mark", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD cb = 0;
        ::WriteFile(h, szLine, (DWORD)n, &cb, NULL);
        ::CloseHandle(h);
    }
    return TRUE;
}

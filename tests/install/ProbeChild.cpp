// A child program for the RunAndWait tests: writes its command line and start-up settings
// to the file named by KV_PROBE_OUT, sleeps KV_PROBE_SLEEP_MS and exits with KV_PROBE_EXIT.
#include <windows.h>
#include <stdlib.h>

static DWORD EnvNumber(LPCWSTR pszName)
{
    WCHAR sz[32];
    return ::GetEnvironmentVariableW(pszName, sz, 32) ? (DWORD)_wtoi(sz) : 0;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    WCHAR szOut[MAX_PATH];
    if (::GetEnvironmentVariableW(L"KV_PROBE_OUT", szOut, MAX_PATH)) {
        STARTUPINFOW si;
        ::GetStartupInfoW(&si);
        WCHAR szLine[1024];
        wsprintfW(szLine, L"[%s]|%lu|%lu|%u", ::GetCommandLineW(), si.cb, si.dwFlags, si.wShowWindow);
        HANDLE h = ::CreateFileW(szOut, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD cb;
        ::WriteFile(h, szLine, lstrlenW(szLine) * sizeof(WCHAR), &cb, NULL);
        ::CloseHandle(h);
    }
    ::Sleep(EnvNumber(L"KV_PROBE_SLEEP_MS"));
    return (int)EnvNumber(L"KV_PROBE_EXIT");
}

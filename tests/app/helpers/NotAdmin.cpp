// Linked into a second build of Korvane.exe (korvane_not_admin.exe): stand-ins for the
// administrator test and the shell call of the elevation step. The program believes it
// runs without administrator rights; each shell call is appended as one line to the file
// named by KV_SHELL_LOG (UTF-8) and then carried out as asked, or, with KV_SHELL_REFUSE set,
// refused as a user refuses the elevation prompt (nothing is started).
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include "app/Relaunch.h"

namespace {

BOOL WINAPI NotAnAdmin() { return FALSE; }

void LogCall(HWND hWnd, LPCWSTR pszVerb, LPCWSTR pszFile, LPCWSTR pszParams, LPCWSTR pszDir, INT nShow)
{
    WCHAR szLog[MAX_PATH];
    if (::GetEnvironmentVariableW(L"KV_SHELL_LOG", szLog, MAX_PATH) == 0)
        return;
    WCHAR szLine[2048];
    _snwprintf(szLine, 2047, L"owner=%lu verb=%ls file=%ls dir=%ls show=%d params=%ls\n", (ULONG)(ULONG_PTR)hWnd,
               pszVerb ? pszVerb : L"(null)", pszFile ? pszFile : L"(null)", pszDir ? pszDir : L"(null)", nShow,
               pszParams ? pszParams : L"(null)");
    szLine[2047] = L'\0';
    char szUtf8[4 * 2048];
    int cb = ::WideCharToMultiByte(CP_UTF8, 0, szLine, -1, szUtf8, sizeof(szUtf8), NULL, NULL);
    HANDLE hFile = ::CreateFileW(szLog, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten = 0;
    if (cb > 1)
        ::WriteFile(hFile, szUtf8, (DWORD)(cb - 1), &cbWritten, NULL);
    ::CloseHandle(hFile);
}

HINSTANCE WINAPI LoggedShellExecute(HWND hWnd, LPCWSTR pszVerb, LPCWSTR pszFile, LPCWSTR pszParams, LPCWSTR pszDir,
                                    INT nShow)
{
    LogCall(hWnd, pszVerb, pszFile, pszParams, pszDir, nShow);
    if (::GetEnvironmentVariableW(L"KV_SHELL_REFUSE", NULL, 0) != 0)
        return (HINSTANCE)SE_ERR_ACCESSDENIED;
    return ::ShellExecuteW(hWnd, pszVerb, pszFile, pszParams, pszDir, nShow);
}

// Installed before wWinMain runs; the program's own pointers start out as NULL.
struct CInstallStandIns
{
    CInstallStandIns()
    {
        g_pfnIsUserAnAdmin = NotAnAdmin;
        g_pfnShellExecuteW = LoggedShellExecute;
    }
} s_standIns;

}  // namespace

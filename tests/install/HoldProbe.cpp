// What another program can do to the hand-off's files while the restore tool runs: for each
// path given, opening for writing, opening for deleting, renaming and replacing (from a
// copy beside it). Prints one line per path and attempt, "<attempt>\t<ok|refused>\t<path>";
// an attempt that succeeded is undone where it can be.
#include <windows.h>
#include <stdio.h>

static void Report(LPCWSTR pszPath, const char* pszWhat, BOOL bOk)
{
    wprintf(L"%hs\t%hs\t%ls\n", pszWhat, bOk ? "ok" : "refused", pszPath);
}

static BOOL TryOpen(LPCWSTR pszPath, DWORD dwAccess)
{
    HANDLE h = ::CreateFileW(pszPath, dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    ::CloseHandle(h);
    return TRUE;
}

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        LPCWSTR pszPath = argv[i];
        Report(pszPath, "write", TryOpen(pszPath, GENERIC_WRITE));
        Report(pszPath, "delete", TryOpen(pszPath, DELETE));
        WCHAR szMoved[MAX_PATH + 8];
        _snwprintf(szMoved, MAX_PATH + 7, L"%ls.moved", pszPath);
        szMoved[MAX_PATH + 7] = L'\0';
        BOOL bMoved = ::MoveFileW(pszPath, szMoved);
        Report(pszPath, "rename", bMoved);
        if (bMoved)
            ::MoveFileW(szMoved, pszPath);
        // Replacing: a file of other bytes moved over the path.
        WCHAR szOther[MAX_PATH + 8];
        _snwprintf(szOther, MAX_PATH + 7, L"%ls.other", pszPath);
        szOther[MAX_PATH + 7] = L'\0';
        HANDLE h = ::CreateFileW(szOther, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD cb = 0;
            ::WriteFile(h, "planted", 7, &cb, NULL);
            ::CloseHandle(h);
        }
        Report(pszPath, "replace", ::MoveFileExW(szOther, pszPath, MOVEFILE_REPLACE_EXISTING));
        ::DeleteFileW(szOther);
    }
    fflush(stdout);
    return 0;
}

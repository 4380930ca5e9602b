#include "StagedLibrary.h"
#include <shlwapi.h>
#include "TestFiles.h"

BOOL CStagedLibrary::Stage(LPCWSTR pszSubdir)
{
    WCHAR szSource[MAX_PATH];
    wnsprintfW(szSource, MAX_PATH, L"%s\\%s\\", ProgramFolder().c_str(), pszSubdir);
    int cchSource = lstrlenW(szSource);

    WCHAR szTemp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    wnsprintfW(m_szDir, MAX_PATH, L"%skv-%s-%lu", szTemp, pszSubdir, ::GetCurrentProcessId());
    ::CreateDirectoryW(m_szDir, NULL);

    WCHAR szPattern[MAX_PATH];
    wnsprintfW(szPattern, MAX_PATH, L"%s*.dll", szSource);
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(szPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL bOk = TRUE;
    do {
        WCHAR szFrom[MAX_PATH], szTo[MAX_PATH];
        lstrcpynW(szFrom, szSource, MAX_PATH);
        lstrcpynW(szFrom + cchSource, fd.cFileName, MAX_PATH - cchSource);
        wnsprintfW(szTo, MAX_PATH, L"%s\\%s", m_szDir, fd.cFileName);
        bOk = bOk && ::CopyFileW(szFrom, szTo, FALSE);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    return bOk;
}

void CStagedLibrary::Remove()
{
    if (m_szDir[0] == L'\0')
        return;
    WCHAR szPattern[MAX_PATH];
    wnsprintfW(szPattern, MAX_PATH, L"%s\\*.dll", m_szDir);
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(szPattern, &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            WCHAR sz[MAX_PATH];
            wnsprintfW(sz, MAX_PATH, L"%s\\%s", m_szDir, fd.cFileName);
            ::DeleteFileW(sz);
        } while (::FindNextFileW(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(m_szDir);
    m_szDir[0] = L'\0';
}

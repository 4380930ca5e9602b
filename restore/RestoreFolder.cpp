#include "restore/RestoreFolder.h"

CRestoreFolder::CRestoreFolder() { m_szFolder[0] = 0; }

BOOL CRestoreFolder::InitFromModule(HMODULE hModule)
{
    WCHAR szPath[RESTORE_PATH_CCH];
    DWORD n = GetModuleFileNameW(hModule, szPath, RESTORE_PATH_CCH);
    if (n == 0 || n >= RESTORE_PATH_CCH)
        return FALSE;  // a cut path would name the wrong folder
    LPWSTR pszSlash = NULL;
    for (LPWSTR p = szPath; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            pszSlash = p;
    if (!pszSlash)
        return FALSE;
    *pszSlash = 0;
    return InitFromPath(szPath);
}

BOOL CRestoreFolder::InitFromPath(LPCWSTR pszFolder)
{
    int n = lstrlenW(pszFolder);
    if (n <= 0 || n >= RESTORE_PATH_CCH)
        return FALSE;
    lstrcpynW(m_szFolder, pszFolder, RESTORE_PATH_CCH);
    return TRUE;
}

BOOL CRestoreFolder::Join(LPCWSTR pszName, LPWSTR pszOut, int cchOut) const
{
    int nFolder = lstrlenW(m_szFolder), nName = lstrlenW(pszName);
    if (cchOut <= 0)
        return FALSE;
    pszOut[0] = 0;
    if (nFolder == 0 || nFolder + 1 + nName >= cchOut)
        return FALSE;
    lstrcpynW(pszOut, m_szFolder, cchOut);
    pszOut[nFolder] = L'\\';
    lstrcpynW(pszOut + nFolder + 1, pszName, cchOut - nFolder - 1);
    return TRUE;
}

BOOL CRestoreFolder::Stat(LPCWSTR pszName, BOOL* pbFolder, ULONGLONG* pullSize) const
{
    WCHAR szPath[RESTORE_PATH_CCH];
    WIN32_FILE_ATTRIBUTE_DATA fad;
    *pbFolder = FALSE;
    *pullSize = 0;
    if (!Join(pszName, szPath, RESTORE_PATH_CCH) || !GetFileAttributesExW(szPath, GetFileExInfoStandard, &fad))
        return FALSE;
    *pbFolder = (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    *pullSize = ((ULONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
    return TRUE;
}

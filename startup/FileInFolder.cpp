#include "FileInFolder.h"
#include <shlobj.h>
#include <shlwapi.h>

BOOL PrepareFileInFolder(LPCWSTR pszFolder, LPCWSTR pszFileName, LPWSTR pszPath)
{
    if (!::PathIsDirectoryW(pszFolder))
        ::SHCreateDirectoryExW(NULL, pszFolder, NULL);
    if (!::PathIsDirectoryW(pszFolder))
        return FALSE;
    ::lstrcpynW(pszPath, pszFolder, MAX_PATH + 4);
    return ::PathAppendW(pszPath, pszFileName);
}

#include "Payload.h"
#include <shlobj.h>
#include <shlwapi.h>

BOOL ExtractResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName)
{
    HMODULE hModule = ::GetModuleHandleW(NULL);
    HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(nResId), L"BIN");
    if (hRes == NULL)
        return FALSE;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    if (hData == NULL)
        return FALSE;

    BOOL bOk = FALSE;
    DWORD cb = ::SizeofResource(hModule, hRes);
    const void* pBytes = cb != 0 ? ::LockResource(hData) : NULL;
    if (pBytes != NULL) {
        if (!::PathIsDirectoryW(pszFolder))
            ::SHCreateDirectory(NULL, pszFolder);
        if (::PathIsDirectoryW(pszFolder)) {
            WCHAR szPath[264];
            ::lstrcpynW(szPath, pszFolder, 264);
            if (::PathAppendW(szPath, pszFileName)) {
                if (::PathFileExistsW(szPath)) {
                    ::SetFileAttributesW(szPath, FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(szPath);
                }
                HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
                if (hFile != INVALID_HANDLE_VALUE) {
                    DWORD cbWritten = 0;
                    bOk = ::WriteFile(hFile, pBytes, cb, &cbWritten, NULL) && cbWritten == cb;
                    ::CloseHandle(hFile);
                }
            }
        }
    }
    ::FreeResource(hData);
    return bOk;
}

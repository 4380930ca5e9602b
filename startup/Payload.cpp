#include "Payload.h"
#include <shlwapi.h>
#include "FileInFolder.h"
#include "PayloadRecord.h"

// Steps 4 to 9 of the writer: the folder, the old file, the new file and its bytes.
static BOOL WritePayloadFile(const void* pBytes, DWORD cb, LPCWSTR pszFolder, LPCWSTR pszFileName)
{
    WCHAR szPath[MAX_PATH + 4];
    if (!PrepareFileInFolder(pszFolder, pszFileName, szPath))
        return FALSE;
    if (::PathFileExistsW(szPath)) {
        ::SetFileAttributesW(szPath, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(szPath);
    }
    HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    // From here the file is ours, complete or not: the clean-up at the end removes it.
    RecordWrittenPayload(szPath);
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(hFile, pBytes, cb, &cbWritten, NULL) && cbWritten == cb;
    ::CloseHandle(hFile);
    return bOk;
}

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
    if (pBytes != NULL)
        bOk = WritePayloadFile(pBytes, cb, pszFolder, pszFileName);
    ::FreeResource(hData);
    return bOk;
}

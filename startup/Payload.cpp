#include "Payload.h"
#include <shlwapi.h>
#include "FileInFolder.h"
#include "PayloadRecord.h"

PFN_PAYLOAD_WRITTEN g_pfnPayloadWritten = NULL;

// Steps 4 to 9 of the writer: the folder, the old file, the new file and its bytes.
static BOOL WritePayloadFile(const void* pBytes, DWORD cb, LPCWSTR pszFolder, LPCWSTR pszFileName, LPWSTR szPath)
{
    if (!PrepareFileInFolder(pszFolder, pszFileName, szPath))
        return FALSE;
    if (::PathFileExistsW(szPath)) {
        ::SetFileAttributesW(szPath, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(szPath);
    }
    HANDLE hFile =
        ::CreateFileW(szPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    // From here the file is ours, complete or not: the clean-up at the end removes it.
    RecordWrittenPayload(szPath);
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(hFile, pBytes, cb, &cbWritten, NULL) && cbWritten == cb;
    ::CloseHandle(hFile);
    if (bOk && g_pfnPayloadWritten != NULL)
        g_pfnPayloadWritten(szPath);
    return bOk;
}

// The resource's bytes, valid for the life of the program's module; null when the resource
// is missing or empty.
static const void* FindPayload(UINT nResId, DWORD* pcb)
{
    HMODULE hModule = ::GetModuleHandleW(NULL);
    HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(nResId), L"BIN");
    if (hRes == NULL)
        return NULL;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    if (hData == NULL)
        return NULL;
    *pcb = ::SizeofResource(hModule, hRes);
    return *pcb != 0 ? ::LockResource(hData) : NULL;
}

BOOL ExtractResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName)
{
    DWORD cb = 0;
    const void* pBytes = FindPayload(nResId, &cb);
    WCHAR szPath[MAX_PATH + 4];
    return pBytes != NULL && WritePayloadFile(pBytes, cb, pszFolder, pszFileName, szPath);
}

BOOL ExtractHeldResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName, CHeldFile* pHold)
{
    pHold->Release();
    DWORD cb = 0;
    const void* pBytes = FindPayload(nResId, &cb);
    WCHAR szPath[MAX_PATH + 4];
    if (pBytes == NULL || !WritePayloadFile(pBytes, cb, pszFolder, pszFileName, szPath))
        return FALSE;
    if (pHold->Hold(szPath) && pHold->ContentEquals(pBytes, cb))
        return TRUE;
    pHold->Release();
    return FALSE;
}

#include "DataFile.h"
#include "DLEngineApi.h"
#include "WorkRecord.h"
#include <winioctl.h>

CDataFile::CDataFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CDataFile::~CDataFile() { Close(); }

BOOL CDataFile::CreateParentFolders(LPCWSTR pszPath)
{
    WCHAR sz[MAX_PATH + 1];
    int cch = lstrlenW(pszPath);
    if (cch > MAX_PATH)
        return FALSE;
    lstrcpynW(sz, pszPath, MAX_PATH + 1);
    // Skip the root: "C:\", "\\server\share\" or a leading "\".
    int i = 0;
    if (cch >= 2 && sz[1] == L':')
        i = 2;
    else if (cch >= 2 && sz[0] == L'\\' && sz[1] == L'\\') {
        int nSlash = 0;
        for (i = 2; i < cch && nSlash < 2; ++i) {
            if (sz[i] == L'\\' || sz[i] == L'/')
                ++nSlash;
        }
    }
    while (i < cch && (sz[i] == L'\\' || sz[i] == L'/'))
        ++i;
    for (; i < cch; ++i) {
        if (sz[i] != L'\\' && sz[i] != L'/')
            continue;
        WCHAR c = sz[i];
        sz[i] = L'\0';
        if (!::CreateDirectoryW(sz, NULL)) {
            DWORD e = ::GetLastError();
            if (e != ERROR_ALREADY_EXISTS && ::GetFileAttributesW(sz) == INVALID_FILE_ATTRIBUTES)
                return FALSE;
        }
        sz[i] = c;
    }
    return TRUE;
}

LONG CDataFile::Create(LPCWSTR pszPath, ULONGLONG ullSize, BOOL bSizeKnown)
{
    Close();
    if (!CreateParentFolders(pszPath))
        return DLE_CREATE_FILE;
    m_hFile = ::CreateFileW(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return DLE_CREATE_FILE;
    // Sparse: the parts written far apart by different connections need no zero filling
    // in between. Volumes without sparse files (FAT) ignore it.
    DWORD cbRet = 0;
    ::DeviceIoControl(m_hFile, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &cbRet, NULL);
    LONG r = bSizeKnown ? SetSize(ullSize) : DLE_OK;
    if (r != DLE_OK) {
        Close();
        ::DeleteFileW(pszPath);
    }
    return r;
}

LONG CDataFile::Open(LPCWSTR pszPath)
{
    Close();
    m_hFile = ::CreateFileW(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (m_hFile == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? DLE_WORKFILE_MISSING : DLE_CREATE_FILE;
    }
    return DLE_OK;
}

LONG CDataFile::SetSize(ULONGLONG ullSize)
{
    LARGE_INTEGER li;
    li.QuadPart = (LONGLONG)ullSize;
    if (!::SetFilePointerEx(m_hFile, li, NULL, FILE_BEGIN) || !::SetEndOfFile(m_hFile))
        return MapFileError(::GetLastError(), DLE_WRITE);
    return DLE_OK;
}

LONG CDataFile::Reset(ULONGLONG ullSize, BOOL bSizeKnown)
{
    LONG r = SetSize(0);
    if (r == DLE_OK && bSizeKnown)
        r = SetSize(ullSize);
    return r;
}

LONG CDataFile::Write(ULONGLONG ullOffset, const void* p, DWORD cb)
{
    const BYTE* pb = (const BYTE*)p;
    while (cb != 0) {
        OVERLAPPED ov;
        ZeroMemory(&ov, sizeof(ov));
        ov.Offset = (DWORD)ullOffset;
        ov.OffsetHigh = (DWORD)(ullOffset >> 32);
        DWORD cbDone = 0;
        if (!::WriteFile(m_hFile, pb, cb, &cbDone, &ov))
            return MapFileError(::GetLastError(), DLE_WRITE);
        if (cbDone == 0)
            return DLE_WRITE;
        pb += cbDone;
        cb -= cbDone;
        ullOffset += cbDone;
    }
    return DLE_OK;
}

LONG CDataFile::Flush()
{
    if (!::FlushFileBuffers(m_hFile))
        return MapFileError(::GetLastError(), DLE_WRITE);
    return DLE_OK;
}

void CDataFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

BOOL CDataFile::GetSize(ULONGLONG* pullSize) const
{
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(m_hFile, &li))
        return FALSE;
    *pullSize = (ULONGLONG)li.QuadPart;
    return TRUE;
}

#include "HeldFile.h"

BOOL CHeldFile::Open(LPCWSTR pszPath, DWORD dwShare, DWORD dwFlags)
{
    Release();
    // A reparse point is opened itself, not followed, and then refused below: what is held
    // must be the object at this path, not one somebody can point the path away from.
    HANDLE h = ::CreateFileW(pszPath, GENERIC_READ, dwShare, NULL, OPEN_EXISTING,
                             dwFlags | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL bFolder = (dwFlags & FILE_FLAG_BACKUP_SEMANTICS) != 0;
    if (!::GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != bFolder) {
        ::CloseHandle(h);
        return FALSE;
    }
    m_hFile = h;
    ::lstrcpynW(m_szPath, pszPath, ARRAYSIZE(m_szPath));
    return TRUE;
}

BOOL CHeldFile::Hold(LPCWSTR pszPath) { return Open(pszPath, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL); }

BOOL CHeldFile::HoldFolder(LPCWSTR pszPath)
{
    // Sharing writing lets files in the folder be created and deleted; not sharing deleting
    // keeps the folder itself from being renamed or removed.
    return Open(pszPath, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS);
}

void CHeldFile::Release()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_szPath[0] = L'\0';
}

BOOL CHeldFile::ContentEquals(const void* pBytes, DWORD cb) const
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD dwHigh = 0;
    DWORD dwLow = ::GetFileSize(m_hFile, &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        return FALSE;
    if (dwHigh != 0 || dwLow != cb)
        return FALSE;
    if (::SetFilePointer(m_hFile, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return FALSE;

    const BYTE* pExpected = (const BYTE*)pBytes;
    BYTE buf[16384];
    DWORD dwDone = 0;
    while (dwDone < cb) {
        DWORD cbWant = cb - dwDone < sizeof(buf) ? cb - dwDone : (DWORD)sizeof(buf);
        DWORD cbRead = 0;
        if (!::ReadFile(m_hFile, buf, cbWant, &cbRead, NULL) || cbRead != cbWant)
            return FALSE;
        if (memcmp(buf, pExpected + dwDone, cbRead) != 0)
            return FALSE;
        dwDone += cbRead;
    }
    return TRUE;
}

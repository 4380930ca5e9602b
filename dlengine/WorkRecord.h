// CWorkRecord: the small record "P.dl.cfg" that makes a download resumable: format version,
// URL, referrer, total size, the server's validators and the byte ranges already on disk in
// "P.dl", then (version 2) the other mirrors and the expected size and SHA-256, guarded by a
// CRC-32. Version 1 records (one address) are still read. Saved by writing a new copy and moving it over the old one, so
// the file on disk is always one whole record.
#pragma once
#include "RangeSet.h"
#include "DLEngineApi.h"

class CWorkRecord
{
public:
    enum { VERSION = 2, MAX_RANGES = 65536 };
    enum { FLAG_SIZE_KNOWN = 1, FLAG_RANGES = 2, FLAG_SHA256 = 4 };

    CWorkRecord();
    void Reset();

    // Serialised bytes in a buffer the caller frees with free().
    BOOL Serialize(BYTE** ppData, DWORD* pcb) const;
    // DLE_OK or DLE_WORKFILE_CORRUPT (size, magic, version, CRC, lengths, ranges out of order).
    LONG Parse(const BYTE* p, DWORD cb);

    // DLE_OK, DLE_WORKFILE_MISSING or DLE_WORKFILE_CORRUPT.
    LONG Load(LPCWSTR pszPath);
    // Writes pszTempPath, flushes it and moves it over pszPath. DLE_OK, DLE_DISK_FULL or DLE_WRITE.
    LONG Save(LPCWSTR pszPath, LPCWSTR pszTempPath) const;

    ULONGLONG ullTotal;
    DWORD dwFlags;
    WCHAR szUrl[DL_MAX_URL + 1];  // the address the validators came from
    WCHAR szReferrer[DL_MAX_URL + 1];
    char szETag[256];
    char szLastModified[256];
    CRangeSet ranges;
    int nMirrors;  // further addresses of the same file
    WCHAR aszMirrors[DL_MAX_MIRRORS][DL_MAX_URL + 1];
    ULONGLONG ullExpected;  // 0 = not known
    BYTE abSha256[32];      // valid with FLAG_SHA256
};

// DLE_DISK_FULL for the Win32 "disk full" errors, else dwDefault.
LONG MapFileError(DWORD dwWin32Error, LONG lDefault);

#include "WorkRecord.h"
#include <zlib.h>
#include <stdlib.h>
#include <string.h>

static const BYTE kMagic[4] = { 'K', 'V', 'D', 'L' };
static const DWORD kFixedHead = 4 + 4 + 4 + 8 + 4 + 5 * 4;  // magic .. range count
static const DWORD kMaxRecord = 1024 * 1024 + 64 * 1024;

LONG MapFileError(DWORD dwWin32Error, LONG lDefault)
{
    return (dwWin32Error == ERROR_DISK_FULL || dwWin32Error == ERROR_HANDLE_DISK_FULL) ? DLE_DISK_FULL : lDefault;
}

CWorkRecord::CWorkRecord() { Reset(); }

void CWorkRecord::Reset()
{
    ullTotal = 0;
    dwFlags = 0;
    szUrl[0] = L'\0';
    szReferrer[0] = L'\0';
    szETag[0] = '\0';
    szLastModified[0] = '\0';
    ranges.Clear();
    nMirrors = 0;
    ullExpected = 0;
    ZeroMemory(abSha256, sizeof(abSha256));
}

namespace {

class CWriter
{
public:
    CWriter(BYTE* p) : m_p(p), m_o(0) {}
    void U32(DWORD v)
    {
        memcpy(m_p + m_o, &v, 4);
        m_o += 4;
    }
    void U64(ULONGLONG v)
    {
        memcpy(m_p + m_o, &v, 8);
        m_o += 8;
    }
    void Bytes(const void* p, DWORD cb)
    {
        if (cb)
            memcpy(m_p + m_o, p, cb);
        m_o += cb;
    }
    DWORD Size() const { return m_o; }

private:
    BYTE* m_p;
    DWORD m_o;
};

class CReader
{
public:
    CReader(const BYTE* p, DWORD cb) : m_p(p), m_cb(cb), m_o(0) {}
    BOOL U32(DWORD* pv) { return Bytes(pv, 4); }
    BOOL U64(ULONGLONG* pv) { return Bytes(pv, 8); }
    BOOL AtEnd() const { return m_o == m_cb; }
    BOOL Bytes(void* p, DWORD cb)
    {
        if (cb > m_cb - m_o)
            return FALSE;
        if (cb)
            memcpy(p, m_p + m_o, cb);
        m_o += cb;
        return TRUE;
    }

private:
    const BYTE* m_p;
    DWORD m_cb;
    DWORD m_o;
};

}  // namespace

BOOL CWorkRecord::Serialize(BYTE** ppData, DWORD* pcb) const
{
    DWORD cchUrl = (DWORD)lstrlenW(szUrl);
    DWORD cchRef = (DWORD)lstrlenW(szReferrer);
    DWORD cbTag = (DWORD)strlen(szETag);
    DWORD cbLm = (DWORD)strlen(szLastModified);
    DWORD nRanges = ranges.Count();
    if (nRanges > MAX_RANGES)
        return FALSE;
    DWORD cchMirrors = 0;
    for (int i = 0; i < nMirrors; ++i)
        cchMirrors += (DWORD)lstrlenW(aszMirrors[i]);
    DWORD cb = kFixedHead + (cchUrl + cchRef) * 2 + cbTag + cbLm + nRanges * 16 + 4 + nMirrors * 4 + cchMirrors * 2 +
               8 + 32 + 4;
    BYTE* p = (BYTE*)malloc(cb);
    if (p == NULL)
        return FALSE;
    CWriter w(p);
    w.Bytes(kMagic, 4);
    w.U32(VERSION);
    w.U32(cb);
    w.U64(ullTotal);
    w.U32(dwFlags);
    w.U32(cchUrl);
    w.U32(cchRef);
    w.U32(cbTag);
    w.U32(cbLm);
    w.U32(nRanges);
    w.Bytes(szUrl, cchUrl * 2);
    w.Bytes(szReferrer, cchRef * 2);
    w.Bytes(szETag, cbTag);
    w.Bytes(szLastModified, cbLm);
    for (DWORD i = 0; i < nRanges; ++i) {
        w.U64(ranges.At(i).ullBegin);
        w.U64(ranges.At(i).ullEnd);
    }
    w.U32((DWORD)nMirrors);
    for (int i = 0; i < nMirrors; ++i) {
        DWORD cch = (DWORD)lstrlenW(aszMirrors[i]);
        w.U32(cch);
        w.Bytes(aszMirrors[i], cch * 2);
    }
    w.U64(ullExpected);
    w.Bytes(abSha256, 32);
    w.U32((DWORD)crc32(0L, p, w.Size()));
    *ppData = p;
    *pcb = cb;
    return TRUE;
}

LONG CWorkRecord::Parse(const BYTE* p, DWORD cb)
{
    Reset();
    if (cb < kFixedHead + 4 || cb > kMaxRecord)
        return DLE_WORKFILE_CORRUPT;
    DWORD crcStored = 0;
    memcpy(&crcStored, p + cb - 4, 4);
    if ((DWORD)crc32(0L, p, cb - 4) != crcStored)
        return DLE_WORKFILE_CORRUPT;

    CReader r(p, cb - 4);
    BYTE magic[4];
    DWORD version = 0, cbRecord = 0, cchUrl = 0, cchRef = 0, cbTag = 0, cbLm = 0, nRanges = 0;
    r.Bytes(magic, 4);
    r.U32(&version);
    r.U32(&cbRecord);
    r.U64(&ullTotal);
    r.U32(&dwFlags);
    r.U32(&cchUrl);
    r.U32(&cchRef);
    r.U32(&cbTag);
    r.U32(&cbLm);
    r.U32(&nRanges);
    if (memcmp(magic, kMagic, 4) != 0 || (version != 1 && version != VERSION) || cbRecord != cb)
        return DLE_WORKFILE_CORRUPT;
    if (cchUrl == 0 || cchUrl > DL_MAX_URL || cchRef > DL_MAX_URL || cbTag >= sizeof(szETag) ||
        cbLm >= sizeof(szLastModified) || nRanges > MAX_RANGES)
        return DLE_WORKFILE_CORRUPT;
    DWORD cbCore = kFixedHead + (cchUrl + cchRef) * 2 + cbTag + cbLm + nRanges * 16 + 4;
    if (version == 1 ? cbCore != cb : cbCore + 4 + 8 + 32 > cb)
        return DLE_WORKFILE_CORRUPT;
    r.Bytes(szUrl, cchUrl * 2);
    szUrl[cchUrl] = L'\0';
    r.Bytes(szReferrer, cchRef * 2);
    szReferrer[cchRef] = L'\0';
    r.Bytes(szETag, cbTag);
    szETag[cbTag] = '\0';
    r.Bytes(szLastModified, cbLm);
    szLastModified[cbLm] = '\0';
    if (lstrlenW(szUrl) != (int)cchUrl)
        return DLE_WORKFILE_CORRUPT;

    BOOL bSizeKnown = (dwFlags & FLAG_SIZE_KNOWN) != 0;
    ULONGLONG prevEnd = 0;
    for (DWORD i = 0; i < nRanges; ++i) {
        ULONGLONG b = 0, e = 0;
        r.U64(&b);
        r.U64(&e);
        // Sorted, disjoint, not touching (as CRangeSet keeps them) and inside the file.
        if (b >= e || (i != 0 && b <= prevEnd) || (bSizeKnown && e > ullTotal))
            return DLE_WORKFILE_CORRUPT;
        if (!ranges.Add(b, e))
            return DLE_NO_RESOURCES;
        prevEnd = e;
    }
    if (version == 1)
        return DLE_OK;
    DWORD n = 0;
    r.U32(&n);
    if (n > DL_MAX_MIRRORS)
        return DLE_WORKFILE_CORRUPT;
    for (DWORD i = 0; i < n; ++i) {
        DWORD cch = 0;
        if (!r.U32(&cch) || cch == 0 || cch > DL_MAX_URL || !r.Bytes(aszMirrors[i], cch * 2))
            return DLE_WORKFILE_CORRUPT;
        aszMirrors[i][cch] = L'\0';
        if (lstrlenW(aszMirrors[i]) != (int)cch)
            return DLE_WORKFILE_CORRUPT;
    }
    nMirrors = (int)n;
    if (!r.U64(&ullExpected) || !r.Bytes(abSha256, 32) || !r.AtEnd())
        return DLE_WORKFILE_CORRUPT;
    return DLE_OK;
}

LONG CWorkRecord::Load(LPCWSTR pszPath)
{
    Reset();
    HANDLE h = ::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? DLE_WORKFILE_MISSING : DLE_WORKFILE_CORRUPT;
    }
    LARGE_INTEGER size;
    LONG lResult = DLE_WORKFILE_CORRUPT;
    if (::GetFileSizeEx(h, &size) && size.QuadPart >= 0 && size.QuadPart <= kMaxRecord) {
        DWORD cb = (DWORD)size.QuadPart;
        BYTE* p = (BYTE*)malloc(cb ? cb : 1);
        DWORD cbRead = 0;
        if (p == NULL)
            lResult = DLE_NO_RESOURCES;
        else if (::ReadFile(h, p, cb, &cbRead, NULL) && cbRead == cb)
            lResult = Parse(p, cb);
        free(p);
    }
    ::CloseHandle(h);
    return lResult;
}

LONG CWorkRecord::Save(LPCWSTR pszPath, LPCWSTR pszTempPath) const
{
    BYTE* p = NULL;
    DWORD cb = 0;
    if (!Serialize(&p, &cb))
        return DLE_NO_RESOURCES;
    LONG lResult = DLE_OK;
    HANDLE h = ::CreateFileW(pszTempPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        lResult = MapFileError(::GetLastError(), DLE_WRITE);
    } else {
        DWORD cbWritten = 0;
        if (!::WriteFile(h, p, cb, &cbWritten, NULL) || cbWritten != cb)
            lResult = MapFileError(::GetLastError(), DLE_WRITE);
        else if (!::FlushFileBuffers(h))
            lResult = MapFileError(::GetLastError(), DLE_WRITE);
        ::CloseHandle(h);
        if (lResult == DLE_OK &&
            !::MoveFileExW(pszTempPath, pszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            lResult = MapFileError(::GetLastError(), DLE_WRITE);
        if (lResult != DLE_OK)
            ::DeleteFileW(pszTempPath);
    }
    free(p);
    return lResult;
}

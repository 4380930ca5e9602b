#include "FileHasher.h"
#include "Internal.h"
#include <string.h>

namespace {

// A read cancelled at an abort that has still not completed after this long is left to the
// system: its memory is not freed (the system may still write into it) and the call returns.
const DWORD DRAIN_MS = 1000;
const DWORD PAGE = 4096;

// 64-bit values are not written in one instruction on x86-32: these keep readers on other
// threads from seeing half of an update.
inline void Publish(volatile ULONGLONG* p, ULONGLONG v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }
inline ULONGLONG Read(const volatile ULONGLONG* p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }

inline DWORD NextRead(ULONGLONG ullLeft, DWORD cbRead)
{
    return ullLeft < cbRead ? (DWORD)ullLeft : cbRead;
}

}  // namespace

// One of the two buffers and its read. Lives in the run's own memory block, never on the
// stack: a read that outlives the run must find its OVERLAPPED still there.
struct CFileHasher::Slot
{
    OVERLAPPED ov;
    BYTE* pData;      // not owned: part of the run's memory block
    DWORD cbAsked;
    BOOL bInFlight;
};

CFileHasher::CFileHasher()
    : m_cbRead(DEFAULT_READ_SIZE), m_dwOptions(OPT_DEFAULT), m_dwWin32Error(0), m_ullDone(0), m_ullTotal(0)
{
}

void CFileHasher::SetReadSize(DWORD cbRead)
{
    cbRead &= ~(DWORD)(MIN_READ_SIZE - 1);
    m_cbRead = cbRead < MIN_READ_SIZE ? MIN_READ_SIZE : cbRead > MAX_READ_SIZE ? MAX_READ_SIZE : cbRead;
}

void CFileHasher::SetOptions(DWORD dwOptions)
{
    m_dwOptions = dwOptions;
}

ULONGLONG CFileHasher::BytesDone() const
{
    return Read(&m_ullDone);
}

ULONGLONG CFileHasher::BytesTotal() const
{
    return Read(&m_ullTotal);
}

LONG CFileHasher::Fault(DWORD dwWin32Error, LONG lResult)
{
    m_dwWin32Error = dwWin32Error;
    return lResult;
}

LONG CFileHasher::Verify(LPCWSTR pszPath, ULONGLONG ullSize, const BYTE abExpected[SHA256_DIGEST_SIZE], HANDLE hAbort)
{
    BYTE abDigest[SHA256_DIGEST_SIZE];
    LONG r = Run(pszPath, ullSize, TRUE, hAbort, abDigest);
    if (r != DLE_OK)
        return r;
    return memcmp(abDigest, abExpected, SHA256_DIGEST_SIZE) == 0 ? DLE_OK : DLE_CHECKSUM;
}

LONG CFileHasher::Compute(LPCWSTR pszPath, ULONGLONG ullSize, HANDLE hAbort, BYTE abDigest[SHA256_DIGEST_SIZE])
{
    return Run(pszPath, ullSize, FALSE, hAbort, abDigest);
}

LONG CFileHasher::Run(LPCWSTR pszPath, ULONGLONG ullSize, BOOL bExact, HANDLE hAbort,
                      BYTE abDigest[SHA256_DIGEST_SIZE])
{
    Publish(&m_ullDone, 0);
    Publish(&m_ullTotal, 0);
    m_dwWin32Error = 0;
    if (!pszPath || !pszPath[0] || !abDigest)
        return DLE_INVALID_ARG;

    // Others may go on reading, writing, renaming or deleting the file meanwhile: the engine
    // keeps its own handle on it, and a file that shrinks is caught by the reads.
    DWORD dwFlags = FILE_ATTRIBUTE_NORMAL;
    if (m_dwOptions & OPT_SEQUENTIAL_SCAN)
        dwFlags |= FILE_FLAG_SEQUENTIAL_SCAN;
    if (m_dwOptions & OPT_OVERLAPPED)
        dwFlags |= FILE_FLAG_OVERLAPPED;
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, dwFlags, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        return Fault(e, (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? DLE_WORKFILE_MISSING
                                                                                  : DLE_CREATE_FILE);
    }
    LARGE_INTEGER liSize;
    if (!::GetFileSizeEx(hFile, &liSize)) {
        LONG r = Fault(::GetLastError(), DLE_WRITE);
        ::CloseHandle(hFile);
        return r;
    }
    ULONGLONG ullFile = (ULONGLONG)liSize.QuadPart;
    if (ullSize == WHOLE_FILE)
        ullSize = ullFile;
    else if (ullFile < ullSize || (bExact && ullFile != ullSize)) {
        ::CloseHandle(hFile);
        return DLE_SIZE_MISMATCH;
    }
    Publish(&m_ullTotal, ullSize);

    // The two slots in the first page, the buffers page-aligned after it.
    BYTE* pBlock = (BYTE*)::VirtualAlloc(NULL, PAGE + 2 * m_cbRead, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!pBlock) {
        ::CloseHandle(hFile);
        return Fault(::GetLastError(), DLE_NO_RESOURCES);
    }
    m_sha.Init();
    BOOL bReadsLeft = FALSE;
    LONG r = (m_dwOptions & OPT_OVERLAPPED) ? HashOverlapped(hFile, pBlock, ullSize, hAbort, &bReadsLeft)
                                            : HashSync(hFile, pBlock + PAGE, ullSize, hAbort);
    ::CloseHandle(hFile);
    if (!bReadsLeft)
        ::VirtualFree(pBlock, 0, MEM_RELEASE);
    if (r == DLE_OK)
        m_sha.Final(abDigest);
    return r;
}

LONG CFileHasher::HashSync(HANDLE hFile, BYTE* pBuf, ULONGLONG ullSize, HANDLE hAbort)
{
    ULONGLONG ullDone = 0;
    while (ullDone < ullSize) {
        if (hAbort && ::WaitForSingleObject(hAbort, 0) == WAIT_OBJECT_0)
            return DLX_ABORTED;
        DWORD cb = NextRead(ullSize - ullDone, m_cbRead), cbGot = 0;
        if (!::ReadFile(hFile, pBuf, cb, &cbGot, NULL))
            return Fault(::GetLastError(), DLE_WRITE);
        if (cbGot != cb)
            return DLE_SIZE_MISMATCH;   // the file ended early: it shrank since it was opened
        m_sha.Update(pBuf, cb);
        ullDone += cb;
        Publish(&m_ullDone, ullDone);
    }
    return DLE_OK;
}

LONG CFileHasher::HashOverlapped(HANDLE hFile, BYTE* pBlock, ULONGLONG ullSize, HANDLE hAbort, BOOL* pbReadsLeft)
{
    Slot* aSlots = (Slot*)pBlock;
    LONG r = DLE_OK;
    for (int i = 0; i < 2; ++i) {
        memset(&aSlots[i], 0, sizeof(Slot));
        aSlots[i].pData = pBlock + PAGE + i * m_cbRead;
        aSlots[i].ov.hEvent = ::CreateEventW(NULL, TRUE, FALSE, NULL);
        if (!aSlots[i].ov.hEvent)
            r = Fault(::GetLastError(), DLE_NO_RESOURCES);
    }
    ULONGLONG ullIssued = 0, ullDone = 0;
    int iCur = 0;
    while (r == DLE_OK && ullDone < ullSize) {
        // Both buffers busy: the one hashed last is refilled while the other's read completes.
        for (int k = 0; k < 2 && r == DLE_OK; ++k) {
            Slot& s = aSlots[(iCur + k) & 1];
            if (!s.bInFlight && ullIssued < ullSize) {
                DWORD cb = NextRead(ullSize - ullIssued, m_cbRead);
                r = Issue(hFile, s, ullIssued, cb);
                ullIssued += cb;
            }
        }
        if (r == DLE_OK)
            r = Complete(hFile, aSlots[iCur], hAbort);
        if (r == DLE_OK) {
            m_sha.Update(aSlots[iCur].pData, aSlots[iCur].cbAsked);
            ullDone += aSlots[iCur].cbAsked;
            Publish(&m_ullDone, ullDone);
            iCur ^= 1;
        }
    }
    *pbReadsLeft = !Drain(hFile, aSlots);
    for (int i = 0; i < 2; ++i) {
        if (aSlots[i].ov.hEvent)
            ::CloseHandle(aSlots[i].ov.hEvent);   // a read still pending holds the event itself
    }
    return r;
}

LONG CFileHasher::Issue(HANDLE hFile, Slot& s, ULONGLONG ullOffset, DWORD cb)
{
    s.ov.Internal = s.ov.InternalHigh = 0;
    s.ov.Offset = (DWORD)ullOffset;
    s.ov.OffsetHigh = (DWORD)(ullOffset >> 32);
    s.cbAsked = cb;
    ::ResetEvent(s.ov.hEvent);
    if (::ReadFile(hFile, s.pData, cb, NULL, &s.ov)) {
        s.bInFlight = TRUE;   // done already; the event is set
        return DLE_OK;
    }
    DWORD e = ::GetLastError();
    if (e == ERROR_IO_PENDING) {
        s.bInFlight = TRUE;
        return DLE_OK;
    }
    return e == ERROR_HANDLE_EOF ? DLE_SIZE_MISMATCH : Fault(e, DLE_WRITE);
}

LONG CFileHasher::Complete(HANDLE hFile, Slot& s, HANDLE hAbort)
{
    // The abort event first: when both are signalled, the abort wins.
    HANDLE ah[2];
    DWORD n = 0;
    if (hAbort)
        ah[n++] = hAbort;
    ah[n++] = s.ov.hEvent;
    DWORD w = ::WaitForMultipleObjects(n, ah, FALSE, INFINITE);
    if (hAbort && w == WAIT_OBJECT_0)
        return DLX_ABORTED;
    if (w != WAIT_OBJECT_0 + n - 1)
        return Fault(::GetLastError(), DLE_WRITE);
    s.bInFlight = FALSE;
    DWORD cbGot = 0;
    if (!::GetOverlappedResult(hFile, &s.ov, &cbGot, FALSE)) {
        DWORD e = ::GetLastError();
        if (e != ERROR_HANDLE_EOF)
            return Fault(e, DLE_WRITE);
    }
    return cbGot == s.cbAsked ? DLE_OK : DLE_SIZE_MISMATCH;   // short: the file shrank meanwhile
}

BOOL CFileHasher::Drain(HANDLE hFile, Slot* aSlots)
{
    if (!aSlots[0].bInFlight && !aSlots[1].bInFlight)
        return TRUE;
    ::CancelIo(hFile);
    BOOL bAllDone = TRUE;
    for (int i = 0; i < 2; ++i) {
        if (aSlots[i].bInFlight && ::WaitForSingleObject(aSlots[i].ov.hEvent, DRAIN_MS) != WAIT_OBJECT_0)
            bAllDone = FALSE;
    }
    return bAllDone;
}

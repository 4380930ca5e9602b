#include "FileHasher.h"
#include "Internal.h"
#include <stdlib.h>

namespace {

const DWORD HEADER = 256;  // ReadAhead's room at the start of its block

// 64-bit values are not written in one instruction on x86-32: these keep readers on other
// threads from seeing half of an update.
inline void Publish(volatile ULONGLONG* p, ULONGLONG v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }
inline ULONGLONG Read(const volatile ULONGLONG* p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }

inline DWORD NextRead(ULONGLONG ullLeft, DWORD cbRead) { return ullLeft < cbRead ? (DWORD)ullLeft : cbRead; }

// Reads exactly cb bytes at the file's position. DLE_OK; DLE_SIZE_MISMATCH when the file
// ends first (it shrank since it was opened); DLE_WRITE with the system's reason.
LONG ReadBlock(HANDLE hFile, BYTE* p, DWORD cb, DWORD* pdwError)
{
    for (DWORD cbDone = 0; cbDone < cb;) {
        DWORD cbGot = 0;
        if (!::ReadFile(hFile, p + cbDone, cb - cbDone, &cbGot, NULL)) {
            *pdwError = ::GetLastError();
            return DLE_WRITE;
        }
        if (cbGot == 0)
            return DLE_SIZE_MISMATCH;
        cbDone += cbGot;
    }
    return DLE_OK;
}

// What the hashing thread shares with its reader thread: two buffers handed back and forth
// with events. Each side holds a reference and the last to let go frees the block, so an
// aborted run returns at once even while a read is stuck in the system. Lives at the start
// of its own memory block, the buffers after it.
struct ReadAhead
{
    volatile LONG lRefs;
    volatile LONG lStop;  // the hashing side takes no more blocks
    HANDLE hFile;         // owned; the reader thread closes it when it stops reading, before
                          // it hands over the last block so that a finished run leaves the file free
    HMODULE hSelf;        // the reader thread's hold on this module
    ULONGLONG ullSize;
    DWORD cbRead;
    HANDLE ahFilled[2];  // owned; buffer i holds its read's outcome
    HANDLE ahFree[2];    // owned; buffer i may be read into again
    LONG alResult[2];    // ReadBlock's result for buffer i
    DWORD adwError[2];
    DWORD acb[2];
    BYTE* apData[2];  // not owned: parts of this block
};
static_assert(sizeof(ReadAhead) <= HEADER, "the buffers start after the shared state");

void DestroyReadAhead(ReadAhead* p)
{
    for (int i = 0; i < 2; ++i) {
        if (p->ahFilled[i])
            ::CloseHandle(p->ahFilled[i]);
        if (p->ahFree[i])
            ::CloseHandle(p->ahFree[i]);
    }
    free(p);
}

void ReleaseReadAhead(ReadAhead* p)
{
    if (::InterlockedDecrement(&p->lRefs) == 0)
        DestroyReadAhead(p);
}

void CloseFile(ReadAhead* p)
{
    if (p->hFile) {
        ::CloseHandle(p->hFile);
        p->hFile = NULL;
    }
}

DWORD WINAPI ReaderMain(LPVOID pv)
{
    ReadAhead* p = (ReadAhead*)pv;
    ULONGLONG ullLeft = p->ullSize;
    for (int i = 0; ullLeft > 0; i ^= 1) {
        // Not for ever: the hashing side frees each buffer it took, or stops and frees both.
        ::WaitForSingleObject(p->ahFree[i], INFINITE);
        if (p->lStop)
            break;
        DWORD cb = NextRead(ullLeft, p->cbRead);
        p->acb[i] = cb;
        p->alResult[i] = ReadBlock(p->hFile, p->apData[i], cb, &p->adwError[i]);
        ullLeft -= cb;
        BOOL bLast = ullLeft == 0 || p->alResult[i] != DLE_OK;
        if (bLast)
            CloseFile(p);
        ::SetEvent(p->ahFilled[i]);
        if (bLast)
            break;
    }
    CloseFile(p);
    HMODULE hSelf = p->hSelf;
    ReleaseReadAhead(p);
    ::FreeLibraryAndExitThread(hSelf, 0);
    return 0;
}

// A reader thread for hFile, which it then owns; NULL (hFile still the caller's) when no
// memory, event or thread could be had.
ReadAhead* StartReader(HANDLE hFile, ULONGLONG ullSize, DWORD cbRead)
{
    ReadAhead* p = (ReadAhead*)calloc(1, HEADER + 2 * (size_t)cbRead);
    if (!p)
        return NULL;
    p->lRefs = 2;
    p->hFile = hFile;
    p->ullSize = ullSize;
    p->cbRead = cbRead;
    BOOL bOk = TRUE;
    for (int i = 0; i < 2; ++i) {
        p->apData[i] = (BYTE*)p + HEADER + i * cbRead;
        p->ahFilled[i] = ::CreateEventW(NULL, FALSE, FALSE, NULL);
        p->ahFree[i] = ::CreateEventW(NULL, FALSE, TRUE, NULL);
        bOk = bOk && p->ahFilled[i] && p->ahFree[i];
    }
    if (!bOk || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCWSTR)(void*)&ReaderMain, &p->hSelf)) {
        DestroyReadAhead(p);
        return NULL;
    }
    HANDLE hThread = ::CreateThread(NULL, 64 * 1024, ReaderMain, p, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (!hThread) {
        ::FreeLibrary(p->hSelf);
        DestroyReadAhead(p);
        return NULL;
    }
    ::CloseHandle(hThread);
    return p;
}

// The hashing side lets go: the reader reads no further block and ends.
void StopReader(ReadAhead* p)
{
    ::InterlockedExchange(&p->lStop, 1);
    ::SetEvent(p->ahFree[0]);
    ::SetEvent(p->ahFree[1]);
    ReleaseReadAhead(p);
}

}  // namespace

CFileHasher::CFileHasher()
    : m_cbRead(DEFAULT_READ_SIZE), m_dwOptions(OPT_DEFAULT), m_dwWin32Error(0), m_ullDone(0), m_ullTotal(0)
{
}

void CFileHasher::SetReadSize(DWORD cbRead)
{
    cbRead &= ~(DWORD)(MIN_READ_SIZE - 1);
    m_cbRead = cbRead < MIN_READ_SIZE ? MIN_READ_SIZE : cbRead > MAX_READ_SIZE ? MAX_READ_SIZE : cbRead;
}

void CFileHasher::SetOptions(DWORD dwOptions) { m_dwOptions = dwOptions; }

ULONGLONG CFileHasher::BytesDone() const { return Read(&m_ullDone); }

ULONGLONG CFileHasher::BytesTotal() const { return Read(&m_ullTotal); }

LONG CFileHasher::Fault(DWORD dwWin32Error, LONG lResult)
{
    m_dwWin32Error = dwWin32Error;
    return lResult;
}

LONG CFileHasher::Verify(LPCWSTR pszPath, ULONGLONG ullSize, const BYTE abExpected[SHA256_DIGEST_SIZE], HANDLE hAbort)
{
    if (!abExpected)
        return DLE_INVALID_ARG;
    BYTE abDigest[SHA256_DIGEST_SIZE];
    LONG r = Run(pszPath, ullSize, TRUE, hAbort, abDigest);
    if (r != DLE_OK)
        return r;
    BYTE bDiffer = 0;
    for (int i = 0; i < SHA256_DIGEST_SIZE; ++i)
        bDiffer |= abDigest[i] ^ abExpected[i];
    return bDiffer ? DLE_CHECKSUM : DLE_OK;
}

LONG CFileHasher::Compute(LPCWSTR pszPath, ULONGLONG ullSize, HANDLE hAbort, BYTE abDigest[SHA256_DIGEST_SIZE])
{
    return Run(pszPath, ullSize, FALSE, hAbort, abDigest);
}

LONG CFileHasher::Run(LPCWSTR pszPath, ULONGLONG ullSize, BOOL bExact, HANDLE hAbort, BYTE abDigest[SHA256_DIGEST_SIZE])
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
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                 OPEN_EXISTING, dwFlags, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        return Fault(e,
                     (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? DLE_WORKFILE_MISSING : DLE_CREATE_FILE);
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

    m_sha.Init();
    LONG r = (m_dwOptions & OPT_READ_THREAD) ? HashWithReader(hFile, ullSize, hAbort)
                                             : HashOnThisThread(hFile, ullSize, hAbort);
    if (r == DLE_OK)
        m_sha.Final(abDigest);
    return r;
}

LONG CFileHasher::HashWithReader(HANDLE hFile, ULONGLONG ullSize, HANDLE hAbort)
{
    ReadAhead* p = ullSize ? StartReader(hFile, ullSize, m_cbRead) : NULL;
    if (!p)
        return HashOnThisThread(hFile, ullSize, hAbort);
    LONG r = DLE_OK;
    ULONGLONG ullDone = 0;
    for (int i = 0; r == DLE_OK && ullDone < ullSize; i ^= 1) {
        // The abort first: when both are signalled, the abort wins.
        HANDLE ah[2] = { hAbort, p->ahFilled[i] };
        DWORD w = hAbort ? ::WaitForMultipleObjects(2, ah, FALSE, INFINITE) : ::WaitForSingleObject(ah[1], INFINITE);
        if (hAbort && w == WAIT_OBJECT_0)
            r = DLX_ABORTED;
        else if (w != (hAbort ? WAIT_OBJECT_0 + 1 : WAIT_OBJECT_0))
            r = Fault(::GetLastError(), DLE_NO_RESOURCES);
        else if (p->alResult[i] != DLE_OK)
            r = p->alResult[i] == DLE_WRITE ? Fault(p->adwError[i], DLE_WRITE) : p->alResult[i];
        else {
            m_sha.Update(p->apData[i], p->acb[i]);
            ullDone += p->acb[i];
            Publish(&m_ullDone, ullDone);
            ::SetEvent(p->ahFree[i]);
        }
    }
    StopReader(p);
    return r;
}

LONG CFileHasher::HashOnThisThread(HANDLE hFile, ULONGLONG ullSize, HANDLE hAbort)
{
    BYTE* pBuf = (BYTE*)malloc(m_cbRead);
    LONG r = pBuf ? DLE_OK : DLE_NO_RESOURCES;
    ULONGLONG ullDone = 0;
    while (r == DLE_OK && ullDone < ullSize) {
        if (hAbort && ::WaitForSingleObject(hAbort, 0) == WAIT_OBJECT_0) {
            r = DLX_ABORTED;
            break;
        }
        DWORD cb = NextRead(ullSize - ullDone, m_cbRead), dwError = 0;
        r = ReadBlock(hFile, pBuf, cb, &dwError);
        if (r == DLE_WRITE)
            Fault(dwError, r);
        if (r == DLE_OK) {
            m_sha.Update(pBuf, cb);
            ullDone += cb;
            Publish(&m_ullDone, ullDone);
        }
    }
    free(pBuf);
    ::CloseHandle(hFile);
    return r;
}

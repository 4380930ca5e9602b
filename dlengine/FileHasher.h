// CFileHasher: the SHA-256 of a file's first bytes, as the engine checks a finished download
// before calling it finished. Hashes on the calling thread (the engine's verification thread)
// while a reader thread of its own fetches the next large block. Any thread may read the
// progress meanwhile; a signalled abort event ends the run at once, even while a read is
// stuck in a slow or dead disk.
#pragma once
#include <windows.h>
#include "Sha256.h"

class CFileHasher
{
public:
    enum {
        DEFAULT_READ_SIZE = 4 * 1024 * 1024,  // bytes per read; two such buffers are in use
        MIN_READ_SIZE = 64 * 1024,
        MAX_READ_SIZE = 8 * 1024 * 1024,
    };
    enum {
        OPT_SEQUENTIAL_SCAN = 1,  // FILE_FLAG_SEQUENTIAL_SCAN: the system reads ahead further
        OPT_READ_THREAD = 2,      // reads on a thread of their own; else on the calling thread
        OPT_DEFAULT = OPT_SEQUENTIAL_SCAN | OPT_READ_THREAD,
    };
    static const ULONGLONG WHOLE_FILE = ~0ull;  // as a length: whatever size the file has when opened

    CFileHasher();

    // Tuning for measurements; the defaults are the measured best.
    void SetReadSize(DWORD cbRead);  // rounded down to 64 KiB, kept within MIN and MAX
    void SetOptions(DWORD dwOptions);
    BOOL SetPath(CSha256::Path ePath) { return m_sha.SetPath(ePath); }
    DWORD GetReadSize() const { return m_cbRead; }
    DWORD GetOptions() const { return m_dwOptions; }
    CSha256::Path GetPath() const { return m_sha.GetPath(); }

    // Hashes the file, which must hold exactly ullSize bytes (WHOLE_FILE: any size), and
    // compares the digest with abExpected. DLE_OK on a match, DLE_CHECKSUM on a mismatch,
    // DLE_SIZE_MISMATCH when the file is shorter or longer (also when it shrinks meanwhile),
    // DLX_ABORTED when hAbort (may be null) was signalled, or a fault (see Compute).
    LONG Verify(LPCWSTR pszPath, ULONGLONG ullSize, const BYTE abExpected[SHA256_DIGEST_SIZE], HANDLE hAbort);

    // The digest of the first ullSize bytes (WHOLE_FILE: all of them); bytes after them are
    // not read. DLE_OK; DLE_SIZE_MISMATCH when the file holds fewer; DLX_ABORTED;
    // DLE_WORKFILE_MISSING when it does not exist, DLE_CREATE_FILE when it cannot be opened,
    // DLE_WRITE when reading fails, DLE_NO_RESOURCES. LastWin32Error() tells the system's reason.
    // Verify and Compute hold the file open only while they run, except that an aborted run
    // may leave it to the reader thread for as long as a read is stuck.
    LONG Compute(LPCWSTR pszPath, ULONGLONG ullSize, HANDLE hAbort, BYTE abDigest[SHA256_DIGEST_SIZE]);

    // Safe from any thread at any time: bytes hashed so far in the current or last run, and
    // the length that run hashes (0 until the file is open).
    ULONGLONG BytesDone() const;
    ULONGLONG BytesTotal() const;
    DWORD LastWin32Error() const { return m_dwWin32Error; }

private:
    CFileHasher(const CFileHasher&);
    CFileHasher& operator=(const CFileHasher&);

    LONG Run(LPCWSTR pszPath, ULONGLONG ullSize, BOOL bExact, HANDLE hAbort, BYTE abDigest[SHA256_DIGEST_SIZE]);
    // Both take over hFile and close it.
    LONG HashWithReader(HANDLE hFile, ULONGLONG ullSize, HANDLE hAbort);
    LONG HashOnThisThread(HANDLE hFile, ULONGLONG ullSize, HANDLE hAbort);
    LONG Fault(DWORD dwWin32Error, LONG lResult);

    CSha256 m_sha;
    DWORD m_cbRead;
    DWORD m_dwOptions;
    DWORD m_dwWin32Error;
    alignas(8) volatile ULONGLONG m_ullDone;  // written by the hashing thread only, atomically
    alignas(8) volatile ULONGLONG m_ullTotal;
};

// sha256file.exe: prints a file's SHA-256 as sha256sum does ("digest  name"), computed by the
// engine's CFileHasher. Options choose its read size, read mode and compression path, so the
// benchmark can compare them; --expect checks instead, as the engine does after a download.
//
//   sha256file.exe [--read-kib N] [--one-thread] [--no-seq-scan] [--portable] [--size BYTES]
//                  [--expect HEX] [--stats] FILE...
//
// Exit code: 0 when every file was done (and matched), else the first file's DLE_ code
// (32 mismatch, 33 size); 1 for bad arguments. --stats adds a line on stderr: path, read settings, bytes, seconds, MiB/s.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "FileHasher.h"
#include "Internal.h"

namespace {

int Usage()
{
    fprintf(stderr, "usage: sha256file [--read-kib N] [--one-thread] [--no-seq-scan] [--portable] [--size BYTES] "
                    "[--expect HEX] [--stats] FILE...\n");
    return DLE_INVALID_ARG;
}

double Now()
{
    LARGE_INTEGER liFreq, liNow;
    ::QueryPerformanceFrequency(&liFreq);
    ::QueryPerformanceCounter(&liNow);
    return (double)liNow.QuadPart / (double)liFreq.QuadPart;
}

LONG HashOne(CFileHasher& hasher, LPCWSTR pszFile, ULONGLONG ullSize, const BYTE* pExpected, BOOL bStats)
{
    double t0 = Now();
    BYTE abDigest[SHA256_DIGEST_SIZE];
    LONG r =
        pExpected ? hasher.Verify(pszFile, ullSize, pExpected, NULL) : hasher.Compute(pszFile, ullSize, NULL, abDigest);
    double dSeconds = Now() - t0;
    if (bStats) {
        double dMiB = (double)hasher.BytesDone() / (1024.0 * 1024.0);
        fprintf(stderr, "path=%s read_kib=%lu read_thread=%d seq_scan=%d bytes=%.0f seconds=%.3f mib_s=%.0f\n",
                hasher.GetPath() == CSha256::PATH_SHA_NI ? "sha-ni" : "portable", hasher.GetReadSize() / 1024,
                (hasher.GetOptions() & CFileHasher::OPT_READ_THREAD) ? 1 : 0,
                (hasher.GetOptions() & CFileHasher::OPT_SEQUENTIAL_SCAN) ? 1 : 0, (double)hasher.BytesDone(), dSeconds,
                dSeconds > 0 ? dMiB / dSeconds : 0.0);
    }
    if (r != DLE_OK) {
        fprintf(stderr, "sha256file: %ls: error %ld (system error %lu)\n", pszFile, r, hasher.LastWin32Error());
        return r;
    }
    if (pExpected)
        printf("%ls: OK\n", pszFile);
    else {
        char szHex[SHA256_HEX_CHARS + 1];
        CSha256::FormatHex(abDigest, szHex, sizeof(szHex));
        printf("%s  %ls\n", szHex, pszFile);
    }
    return DLE_OK;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    CFileHasher hasher;
    DWORD dwOptions = CFileHasher::OPT_DEFAULT;
    ULONGLONG ullSize = CFileHasher::WHOLE_FILE;
    BOOL bExpect = FALSE, bStats = FALSE;
    BYTE abExpected[SHA256_DIGEST_SIZE];
    DWORD cbRead = CFileHasher::DEFAULT_READ_SIZE;
    int iFirstFile = argc;
    for (int i = 1; i < argc && iFirstFile == argc; ++i) {
        LPCWSTR a = argv[i];
        BOOL bHasValue = i + 1 < argc;
        if (lstrcmpW(a, L"--read-kib") == 0 && bHasValue)
            cbRead = wcstoul(argv[++i], NULL, 10) * 1024;
        else if (lstrcmpW(a, L"--one-thread") == 0)
            dwOptions &= ~CFileHasher::OPT_READ_THREAD;
        else if (lstrcmpW(a, L"--no-seq-scan") == 0)
            dwOptions &= ~CFileHasher::OPT_SEQUENTIAL_SCAN;
        else if (lstrcmpW(a, L"--portable") == 0)
            hasher.SetPath(CSha256::PATH_PORTABLE);
        else if (lstrcmpW(a, L"--size") == 0 && bHasValue)
            ullSize = _wcstoui64(argv[++i], NULL, 10);
        else if (lstrcmpW(a, L"--expect") == 0 && bHasValue) {
            if (!CSha256::ParseHex(argv[++i], abExpected))
                return Usage();
            bExpect = TRUE;
        } else if (lstrcmpW(a, L"--stats") == 0)
            bStats = TRUE;
        else if (a[0] == L'-')
            return Usage();
        else
            iFirstFile = i;
    }
    if (iFirstFile == argc)
        return Usage();
    hasher.SetReadSize(cbRead);
    hasher.SetOptions(dwOptions);

    int rc = 0;
    for (int i = iFirstFile; i < argc; ++i) {
        LONG r = HashOne(hasher, argv[i], ullSize, bExpect ? abExpected : NULL, bStats);
        if (r != DLE_OK && rc == 0)
            rc = (int)r;
    }
    return rc;
}

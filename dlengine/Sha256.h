// CSha256: the SHA-256 digest the engine checks a finished download against, with the
// hexadecimal form callers pass it in. Blocks are compressed with the processor's SHA
// instructions where CPUID reports them and with portable code elsewhere (every i686, so
// the library still runs on Windows XP machines); both give the same digest.
#pragma once
#include <windows.h>
#include <stddef.h>

#define SHA256_DIGEST_SIZE 32
#define SHA256_HEX_CHARS   64  // without the terminator

class CSha256
{
public:
    enum Path { PATH_AUTO, PATH_PORTABLE, PATH_SHA_NI };

    CSha256();  // ready for Update, on the fastest path this processor has

    // Chooses how blocks are compressed and starts a new digest. FALSE (nothing changed)
    // for PATH_SHA_NI on a processor without the SHA extensions.
    BOOL SetPath(Path ePath);
    Path GetPath() const { return m_ePath; }
    static BOOL CpuHasShaNi();

    void Init();
    void Update(const void* pData, size_t cb);
    // Writes the digest and starts a new one.
    void Final(BYTE abDigest[SHA256_DIGEST_SIZE]);

    // 64 hexadecimal digits of either case, nothing else, into 32 bytes. FALSE (abDigest
    // untouched) for a null or empty string, another length, any other character.
    static BOOL ParseHex(LPCWSTR pszHex, BYTE abDigest[SHA256_DIGEST_SIZE]);
    static BOOL ParseHex(const char* pszHex, BYTE abDigest[SHA256_DIGEST_SIZE]);
    // 64 lowercase digits and a terminator; FALSE when cchBuf < 65 (pszBuf then empty if cchBuf > 0).
    static BOOL FormatHex(const BYTE abDigest[SHA256_DIGEST_SIZE], LPWSTR pszBuf, int cchBuf);
    static BOOL FormatHex(const BYTE abDigest[SHA256_DIGEST_SIZE], char* pszBuf, int cchBuf);

    typedef void (*PFN_BLOCKS)(DWORD adwState[8], const BYTE* p, size_t nBlocks);

private:
    PFN_BLOCKS m_pfnBlocks;
    Path m_ePath;
    DWORD m_adwState[8];
    ULONGLONG m_ullBytes;  // message length so far
    DWORD m_cbPending;     // bytes waiting in m_abPending for a whole block
    BYTE m_abPending[64];
};

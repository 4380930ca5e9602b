#include "Sha256.h"
#include <string.h>
#include <cpuid.h>
#include <immintrin.h>

namespace {

const DWORD K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

const DWORD INITIAL_STATE[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

// ---- portable path: plain 32-bit integer code, every round unrolled ----

inline DWORD Rotr(DWORD x, int n) { return (x >> n) | (x << (32 - n)); }
inline DWORD LoadBe32(const BYTE* p)
{
    return ((DWORD)p[0] << 24) | ((DWORD)p[1] << 16) | ((DWORD)p[2] << 8) | (DWORD)p[3];
}

// The big sigmas nested, e.g. ROTR2(x ^ ROTR11(x ^ ROTR9(x))) = ROTR2(x) ^ ROTR13(x) ^ ROTR22(x):
// one temporary less, which 32-bit code with its few registers feels.
#define SIG0(x)      Rotr((x) ^ Rotr((x) ^ Rotr(x, 9), 11), 2)
#define SIG1(x)      Rotr((x) ^ Rotr((x) ^ Rotr(x, 14), 5), 6)
#define GAM0(x)      (Rotr(x, 7) ^ Rotr(x, 18) ^ ((x) >> 3))
#define GAM1(x)      (Rotr(x, 17) ^ Rotr(x, 19) ^ ((x) >> 10))
#define CH(x, y, z)  ((z) ^ ((x) & ((y) ^ (z))))
#define MAJ(x, y, z) ((y) ^ (((x) ^ (y)) & ((y) ^ (z))))

// The first 16 rounds take the message words as loaded; later ones extend the schedule in
// a 16-word ring.
#define W_LOAD(i) W[i]
#define W_NEXT(i) (W[(i)&15] += GAM1(W[((i)-2) & 15]) + W[((i)-7) & 15] + GAM0(W[((i)-15) & 15]))
#define ROUND(a, b, c, d, e, f, g, h, i, WX)                                                                           \
    h += SIG1(e) + CH(e, f, g) + K[i] + WX(i);                                                                         \
    d += h;                                                                                                            \
    h += SIG0(a) + MAJ(a, b, c)
// Eight rounds rename the working variables instead of moving them.
#define EIGHT_ROUNDS(i, WX)                                                                                            \
    ROUND(a, b, c, d, e, f, g, h, (i) + 0, WX);                                                                        \
    ROUND(h, a, b, c, d, e, f, g, (i) + 1, WX);                                                                        \
    ROUND(g, h, a, b, c, d, e, f, (i) + 2, WX);                                                                        \
    ROUND(f, g, h, a, b, c, d, e, (i) + 3, WX);                                                                        \
    ROUND(e, f, g, h, a, b, c, d, (i) + 4, WX);                                                                        \
    ROUND(d, e, f, g, h, a, b, c, (i) + 5, WX);                                                                        \
    ROUND(c, d, e, f, g, h, a, b, (i) + 6, WX);                                                                        \
    ROUND(b, c, d, e, f, g, h, a, (i) + 7, WX)

void BlocksPortable(DWORD s[8], const BYTE* p, size_t nBlocks)
{
    DWORD W[16];
    for (; nBlocks; --nBlocks, p += 64) {
        for (int i = 0; i < 16; ++i)
            W[i] = LoadBe32(p + 4 * i);
        DWORD a = s[0], b = s[1], c = s[2], d = s[3], e = s[4], f = s[5], g = s[6], h = s[7];
        EIGHT_ROUNDS(0, W_LOAD);
        EIGHT_ROUNDS(8, W_LOAD);
        EIGHT_ROUNDS(16, W_NEXT);
        EIGHT_ROUNDS(24, W_NEXT);
        EIGHT_ROUNDS(32, W_NEXT);
        EIGHT_ROUNDS(40, W_NEXT);
        EIGHT_ROUNDS(48, W_NEXT);
        EIGHT_ROUNDS(56, W_NEXT);
        s[0] += a;
        s[1] += b;
        s[2] += c;
        s[3] += d;
        s[4] += e;
        s[5] += f;
        s[6] += g;
        s[7] += h;
    }
}

// ---- SHA extensions path ----
// Only this function is compiled for SSE4.1 and SHA, so the rest of the library keeps the
// i686 baseline. Windows guarantees a thread's stack only 4-byte alignment on x86; the
// spilled vector registers need 16, so the function aligns its own frame.
#define SHA_NI_FUNCTION __attribute__((target("sse2,ssse3,sse4.1,sha"), force_align_arg_pointer))

// Four rounds with message words Wc (rounds 4g..4g+3). Alongside, the schedule: Wn gets its
// final value (needs Wp as it was), and Wp starts its next one.
#define NI_ROUNDS4(g, Wp, Wc, Wn)                                                                                      \
    msg = _mm_add_epi32(Wc, _mm_loadu_si128((const __m128i*)&K[4 * (g)]));                                             \
    st1 = _mm_sha256rnds2_epu32(st1, st0, msg);                                                                        \
    if ((g) >= 3 && (g) <= 14)                                                                                         \
        Wn = _mm_sha256msg2_epu32(_mm_add_epi32(Wn, _mm_alignr_epi8(Wc, Wp, 4)), Wc);                                  \
    st0 = _mm_sha256rnds2_epu32(st0, st1, _mm_shuffle_epi32(msg, 0x0E));                                               \
    if ((g) >= 1 && (g) <= 12)                                                                                         \
    Wp = _mm_sha256msg1_epu32(Wp, Wc)

SHA_NI_FUNCTION void BlocksShaNi(DWORD s[8], const BYTE* p, size_t nBlocks)
{
    const __m128i BSWAP = _mm_set_epi64x(0x0c0d0e0f08090a0bull, 0x0405060700010203ull);
    // The instructions keep the state as ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i*)&s[0]), 0xB1);  // CDAB
    __m128i st1 = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i*)&s[4]), 0x1B);  // EFGH
    __m128i st0 = _mm_alignr_epi8(tmp, st1, 8);                                     // ABEF
    st1 = _mm_blend_epi16(st1, tmp, 0xF0);                                          // CDGH
    for (; nBlocks; --nBlocks, p += 64) {
        const __m128i abef = st0, cdgh = st1;
        __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(p + 0)), BSWAP);
        __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(p + 16)), BSWAP);
        __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(p + 32)), BSWAP);
        __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(p + 48)), BSWAP);
        __m128i msg;
        NI_ROUNDS4(0, m3, m0, m1);
        NI_ROUNDS4(1, m0, m1, m2);
        NI_ROUNDS4(2, m1, m2, m3);
        NI_ROUNDS4(3, m2, m3, m0);
        NI_ROUNDS4(4, m3, m0, m1);
        NI_ROUNDS4(5, m0, m1, m2);
        NI_ROUNDS4(6, m1, m2, m3);
        NI_ROUNDS4(7, m2, m3, m0);
        NI_ROUNDS4(8, m3, m0, m1);
        NI_ROUNDS4(9, m0, m1, m2);
        NI_ROUNDS4(10, m1, m2, m3);
        NI_ROUNDS4(11, m2, m3, m0);
        NI_ROUNDS4(12, m3, m0, m1);
        NI_ROUNDS4(13, m0, m1, m2);
        NI_ROUNDS4(14, m1, m2, m3);
        NI_ROUNDS4(15, m2, m3, m0);
        st0 = _mm_add_epi32(st0, abef);
        st1 = _mm_add_epi32(st1, cdgh);
    }
    tmp = _mm_shuffle_epi32(st0, 0x1B);     // FEBA
    st1 = _mm_shuffle_epi32(st1, 0xB1);     // DCHG
    st0 = _mm_blend_epi16(tmp, st1, 0xF0);  // DCBA
    st1 = _mm_alignr_epi8(st1, tmp, 8);     // HGFE
    _mm_storeu_si128((__m128i*)&s[0], st0);
    _mm_storeu_si128((__m128i*)&s[4], st1);
}

LONG DetectShaNi()
{
    unsigned a, b, c, d;
    if (__get_cpuid_max(0, NULL) < 7)
        return 0;
    __cpuid(1, a, b, c, d);
    if (!(d & bit_SSE2) || !(c & bit_SSSE3) || !(c & bit_SSE4_1))
        return 0;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_SHA) ? 1 : 0;
}

template <typename CH_T>
BOOL ParseHexT(const CH_T* psz, BYTE abDigest[SHA256_DIGEST_SIZE])
{
    if (!psz)
        return FALSE;
    BYTE ab[SHA256_DIGEST_SIZE];
    for (int i = 0; i < SHA256_HEX_CHARS; ++i) {
        unsigned c = (unsigned)psz[i], v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            return FALSE;  // also the terminator of a shorter string
        ab[i / 2] = (BYTE)((i & 1) ? (ab[i / 2] | v) : (v << 4));
    }
    if (psz[SHA256_HEX_CHARS] != 0)
        return FALSE;
    memcpy(abDigest, ab, sizeof(ab));
    return TRUE;
}

template <typename CH_T>
BOOL FormatHexT(const BYTE abDigest[SHA256_DIGEST_SIZE], CH_T* pszBuf, int cchBuf)
{
    static const char DIGITS[] = "0123456789abcdef";
    if (!pszBuf || cchBuf < SHA256_HEX_CHARS + 1) {
        if (pszBuf && cchBuf > 0)
            pszBuf[0] = 0;
        return FALSE;
    }
    for (int i = 0; i < SHA256_DIGEST_SIZE; ++i) {
        pszBuf[2 * i] = (CH_T)DIGITS[abDigest[i] >> 4];
        pszBuf[2 * i + 1] = (CH_T)DIGITS[abDigest[i] & 15];
    }
    pszBuf[SHA256_HEX_CHARS] = 0;
    return TRUE;
}

}  // namespace

CSha256::CSha256() { SetPath(PATH_AUTO); }

BOOL CSha256::CpuHasShaNi()
{
    // Computed once; threads racing here all store the same value.
    static volatile LONG s_lHas = -1;
    if (s_lHas < 0)
        s_lHas = DetectShaNi();
    return s_lHas != 0;
}

BOOL CSha256::SetPath(Path ePath)
{
    if (ePath == PATH_AUTO)
        ePath = CpuHasShaNi() ? PATH_SHA_NI : PATH_PORTABLE;
    if (ePath == PATH_SHA_NI && !CpuHasShaNi())
        return FALSE;
    m_ePath = ePath;
    m_pfnBlocks = ePath == PATH_SHA_NI ? BlocksShaNi : BlocksPortable;
    Init();
    return TRUE;
}

void CSha256::Init()
{
    memcpy(m_adwState, INITIAL_STATE, sizeof(m_adwState));
    m_ullBytes = 0;
    m_cbPending = 0;
}

void CSha256::Update(const void* pData, size_t cb)
{
    const BYTE* p = (const BYTE*)pData;
    m_ullBytes += cb;
    if (m_cbPending) {
        size_t cbTake = sizeof(m_abPending) - m_cbPending;
        if (cbTake > cb)
            cbTake = cb;
        memcpy(m_abPending + m_cbPending, p, cbTake);
        m_cbPending += (DWORD)cbTake;
        p += cbTake;
        cb -= cbTake;
        if (m_cbPending < sizeof(m_abPending))
            return;
        m_pfnBlocks(m_adwState, m_abPending, 1);
        m_cbPending = 0;
    }
    size_t nBlocks = cb / 64;
    if (nBlocks) {
        m_pfnBlocks(m_adwState, p, nBlocks);
        p += nBlocks * 64;
        cb -= nBlocks * 64;
    }
    if (cb) {
        memcpy(m_abPending, p, cb);
        m_cbPending = (DWORD)cb;
    }
}

void CSha256::Final(BYTE abDigest[SHA256_DIGEST_SIZE])
{
    ULONGLONG ullBits = m_ullBytes * 8;
    BYTE abTail[128];
    DWORD cbTail = m_cbPending < 56 ? 64 : 128;
    memset(abTail, 0, sizeof(abTail));
    memcpy(abTail, m_abPending, m_cbPending);
    abTail[m_cbPending] = 0x80;
    for (int i = 0; i < 8; ++i)
        abTail[cbTail - 1 - i] = (BYTE)(ullBits >> (8 * i));
    m_pfnBlocks(m_adwState, abTail, cbTail / 64);
    for (int i = 0; i < 8; ++i) {
        abDigest[4 * i] = (BYTE)(m_adwState[i] >> 24);
        abDigest[4 * i + 1] = (BYTE)(m_adwState[i] >> 16);
        abDigest[4 * i + 2] = (BYTE)(m_adwState[i] >> 8);
        abDigest[4 * i + 3] = (BYTE)m_adwState[i];
    }
    Init();
}

BOOL CSha256::ParseHex(LPCWSTR pszHex, BYTE abDigest[SHA256_DIGEST_SIZE]) { return ParseHexT(pszHex, abDigest); }

BOOL CSha256::ParseHex(const char* pszHex, BYTE abDigest[SHA256_DIGEST_SIZE]) { return ParseHexT(pszHex, abDigest); }

BOOL CSha256::FormatHex(const BYTE abDigest[SHA256_DIGEST_SIZE], LPWSTR pszBuf, int cchBuf)
{
    return FormatHexT(abDigest, pszBuf, cchBuf);
}

BOOL CSha256::FormatHex(const BYTE abDigest[SHA256_DIGEST_SIZE], char* pszBuf, int cchBuf)
{
    return FormatHexT(abDigest, pszBuf, cchBuf);
}

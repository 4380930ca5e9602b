// The engine's inner pieces on their own: byte-range sets, the part scheduler's splitting
// and work stealing, the work-file record's guards, response-head and URL parsing, and what
// a volume allows.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <stdlib.h>
#include "HttpHead.h"
#include "PartScheduler.h"
#include "RangeSet.h"
#include "Url.h"
#include "MirrorSet.h"
#include "Volume.h"
#include "DLEngineApi.h"
#include <wchar.h>
#include "WorkRecord.h"
#include <zlib.h>

namespace {

const ULONGLONG MiB = 1024 * 1024;

TEST(RangeSet, MergesOverlappingAndTouchingRanges)
{
    CRangeSet s;
    s.Add(10, 20);
    s.Add(30, 40);
    s.Add(50, 60);
    ASSERT_EQ(s.Count(), 3u);
    s.Add(20, 30);  // touches both neighbours
    ASSERT_EQ(s.Count(), 2u);
    EXPECT_EQ(s.At(0).ullBegin, 10u);
    EXPECT_EQ(s.At(0).ullEnd, 40u);
    s.Add(5, 55);  // swallows everything up to the last
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.At(0).ullBegin, 5u);
    EXPECT_EQ(s.At(0).ullEnd, 60u);
    s.Add(70, 70);  // empty
    EXPECT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.Bytes(), 55u);
}

TEST(RangeSet, GapsAndCoverage)
{
    CRangeSet s;
    EXPECT_EQ(s.FirstGap(), 0u);
    EXPECT_TRUE(s.Covers(0));
    EXPECT_FALSE(s.Covers(1));
    s.Add(0, 100);
    s.Add(200, 300);
    EXPECT_EQ(s.FirstGap(), 100u);
    EXPECT_FALSE(s.Covers(300));
    CRangeSet missing;
    ASSERT_TRUE(s.Complement(400, &missing));
    ASSERT_EQ(missing.Count(), 2u);
    EXPECT_EQ(missing.At(0).ullBegin, 100u);
    EXPECT_EQ(missing.At(0).ullEnd, 200u);
    EXPECT_EQ(missing.At(1).ullBegin, 300u);
    EXPECT_EQ(missing.At(1).ullEnd, 400u);
    s.Add(100, 200);
    s.Add(300, 400);
    EXPECT_TRUE(s.Covers(400));
    ASSERT_TRUE(s.Complement(400, &missing));
    EXPECT_EQ(missing.Count(), 0u);
}

TEST(PartScheduler, PlansEqualPartsInFileOrder)
{
    CRangeSet missing;
    missing.Add(0, 40 * MiB);
    CPartScheduler p;
    ASSERT_TRUE(p.Plan(missing, 8, 4 * MiB));
    ASSERT_EQ(p.Count(), 8u);
    ULONGLONG pos = 0;
    for (UINT i = 0; i < p.Count(); ++i) {
        EXPECT_EQ(p.Part(i).ullPos, pos) << i;
        EXPECT_GE(p.Part(i).ullEnd - p.Part(i).ullPos, 4 * MiB) << i;
        pos = p.Part(i).ullEnd;
    }
    EXPECT_EQ(pos, 40 * MiB);
    EXPECT_EQ(p.Remaining(), 40 * MiB);

    // A small file is not split below the minimum.
    CRangeSet small;
    small.Add(0, 6 * MiB);
    ASSERT_TRUE(p.Plan(small, 8, 4 * MiB));
    EXPECT_EQ(p.Count(), 1u);
}

TEST(PartScheduler, EachConnectionGetsItsOwnPartThenStealsHalfOfTheLargest)
{
    CRangeSet missing;
    missing.Add(0, 64 * MiB);
    CPartScheduler p;
    ASSERT_TRUE(p.Plan(missing, 4, 4 * MiB));  // four parts of 16 MiB
    int parts[4];
    for (int w = 0; w < 4; ++w) {
        parts[w] = p.Acquire(w);
        ASSERT_GE(parts[w], 0);
        for (int v = 0; v < w; ++v)
            EXPECT_NE(parts[w], parts[v]);
    }
    EXPECT_EQ(p.Acquire(0), parts[0]) << "a connection keeps its unfinished part";

    // Connection 0 finishes; connection 2 is 2 MiB into its part, the others 8 MiB.
    EXPECT_EQ(p.Advance(parts[0], (DWORD)(16 * MiB)), 16 * MiB);
    p.Advance(parts[1], (DWORD)(8 * MiB));
    p.Advance(parts[2], (DWORD)(2 * MiB));
    p.Advance(parts[3], (DWORD)(8 * MiB));
    ULONGLONG victimEnd = p.Part(parts[2]).ullEnd;
    int stolen = p.Acquire(0);
    ASSERT_GE(stolen, 0);
    EXPECT_EQ(p.Part(stolen).nOwner, 0);
    EXPECT_EQ(p.Part(stolen).ullEnd, victimEnd) << "the tail of the largest remaining part";
    EXPECT_EQ(p.Part(parts[2]).ullEnd, p.Part(stolen).ullPos);
    EXPECT_EQ(p.Part(stolen).ullPos % (64 * 1024), 0u) << "split on a 64 KiB boundary";
    EXPECT_EQ(p.Part(stolen).ullPos, p.Part(parts[2]).ullPos + 7 * MiB) << "half of the 14 MiB left";

    // The victim received past the new end meanwhile: those bytes are not its to keep.
    ULONGLONG left = p.Part(parts[2]).ullEnd - p.Part(parts[2]).ullPos;
    EXPECT_EQ(p.Advance(parts[2], (DWORD)(left + 4096)), left);
    EXPECT_EQ(p.Remaining(), 8 * MiB + 8 * MiB + 7 * MiB);
}

TEST(PartScheduler, NoStealBelowTwiceTheMinimumAndReleasedPartsComeFirst)
{
    CRangeSet missing;
    missing.Add(0, 14 * MiB);
    CPartScheduler p;
    ASSERT_TRUE(p.Plan(missing, 2, 4 * MiB));  // 7 MiB each
    int a = p.Acquire(0);
    int b = p.Acquire(1);
    p.Advance(a, (DWORD)(7 * MiB));
    EXPECT_EQ(p.Acquire(0), -1) << "7 MiB left is less than two minimum parts";
    EXPECT_FALSE(p.HasWorkForNewcomer());
    p.Release(1);
    EXPECT_TRUE(p.HasWorkForNewcomer());
    EXPECT_EQ(p.Acquire(0), b) << "a released part is taken before anything is split";
    p.Advance(b, (DWORD)(7 * MiB));
    EXPECT_TRUE(p.AllDone());
}

CWorkRecord* SampleRecord()
{
    CWorkRecord* r = new CWorkRecord();
    r->ullTotal = 100 * MiB;
    r->dwFlags = CWorkRecord::FLAG_SIZE_KNOWN | CWorkRecord::FLAG_RANGES;
    lstrcpynW(r->szUrl, L"http://127.0.0.1:8080/img/xp.vex", DL_MAX_URL + 1);
    lstrcpynW(r->szReferrer, L"http://example.com/", DL_MAX_URL + 1);
    lstrcpynA(r->szETag, "\"abc-1\"", 256);
    lstrcpynA(r->szLastModified, "Tue, 14 Nov 2023 22:13:20 GMT", 256);
    r->ranges.Add(0, 10 * MiB);
    r->ranges.Add(50 * MiB, 60 * MiB);
    r->nMirrors = 2;
    lstrcpynW(r->aszMirrors[0], L"http://mirror-b.example/xp.vex", DL_MAX_URL + 1);
    lstrcpynW(r->aszMirrors[1], L"https://mirror-c.example/x", DL_MAX_URL + 1);
    r->ullExpected = 100 * MiB;
    r->dwFlags |= CWorkRecord::FLAG_SHA256;
    for (int i = 0; i < 32; ++i)
        r->abSha256[i] = (BYTE)(i * 7 + 1);
    return r;
}

TEST(WorkRecord, RoundTrip)
{
    CWorkRecord* r = SampleRecord();
    BYTE* p = NULL;
    DWORD cb = 0;
    ASSERT_TRUE(r->Serialize(&p, &cb));
    CWorkRecord* back = new CWorkRecord();
    ASSERT_EQ(back->Parse(p, cb), DLE_OK);
    EXPECT_EQ(back->ullTotal, r->ullTotal);
    EXPECT_EQ(back->dwFlags, r->dwFlags);
    EXPECT_STREQ(back->szUrl, r->szUrl);
    EXPECT_STREQ(back->szReferrer, r->szReferrer);
    EXPECT_STREQ(back->szETag, r->szETag);
    EXPECT_STREQ(back->szLastModified, r->szLastModified);
    ASSERT_EQ(back->ranges.Count(), 2u);
    EXPECT_EQ(back->ranges.At(1).ullBegin, 50 * MiB);
    EXPECT_EQ(back->ranges.At(1).ullEnd, 60 * MiB);
    ASSERT_EQ(back->nMirrors, 2);
    EXPECT_STREQ(back->aszMirrors[1], r->aszMirrors[1]);
    EXPECT_EQ(back->ullExpected, r->ullExpected);
    EXPECT_EQ(memcmp(back->abSha256, r->abSha256, 32), 0);
    free(p);
    delete back;
    delete r;
}

// A record of the first format (one address, nothing after the ranges) is still read; one
// that claims the first format but carries more is refused.
TEST(WorkRecord, FirstFormatIsRead)
{
    CWorkRecord* r = SampleRecord();
    r->nMirrors = 0;
    BYTE* p = NULL;
    DWORD cb = 0;
    ASSERT_TRUE(r->Serialize(&p, &cb));
    DWORD cbV1 = cb - (4 + 8 + 32);  // without the mirror count, expected size and digest
    DWORD dwVersion = 1;
    memcpy(p + 4, &dwVersion, 4);
    memcpy(p + 8, &cbV1, 4);
    DWORD crc = (DWORD)crc32(0L, p, cbV1 - 4);
    memcpy(p + cbV1 - 4, &crc, 4);
    CWorkRecord* back = new CWorkRecord();
    ASSERT_EQ(back->Parse(p, cbV1), DLE_OK);
    EXPECT_STREQ(back->szUrl, r->szUrl);
    EXPECT_EQ(back->ranges.Count(), 2u);
    EXPECT_EQ(back->nMirrors, 0);
    EXPECT_EQ(back->ullExpected, 0u);
    free(p);
    delete back;
    delete r;
}

// Connections spread over mirrors by their measured speed; a mirror that refused one more
// connection is held to those it serves; one that fails without a byte while another
// delivers is dropped after a minute.
TEST(MirrorSet, PicksByLoadCapsAndDropsDeadMirrors)
{
    CMirrorSet* s = new CMirrorSet();
    ASSERT_EQ(s->Add(L"http://a.example/f"), 0);
    ASSERT_EQ(s->Add(L"http://b.example/f"), 1);
    EXPECT_EQ(s->Add(L"http://a.example/f"), 0) << "a repeated address";
    EXPECT_EQ(s->Add(L"ftp://c.example/f"), -2);
    DWORD now = 100000;
    // Unmeasured mirrors take connections in turn.
    int a = s->Pick(-1, now);
    s->Attach(a);
    int b = s->Pick(-1, now);
    EXPECT_NE(a, b);
    s->Attach(b);
    // Mirror 0 delivers three times as fast: it takes the next two connections.
    s->OnBytes(0, 3 * 1024 * 1024, now);
    s->OnBytes(1, 1024 * 1024, now);
    s->Sample(1000, now);
    s->Attach(s->Pick(-1, now));
    EXPECT_EQ(s->At(0).nConns, 2);
    EXPECT_EQ(s->Pick(-1, now), 0);
    // Mirror 0 refuses a third connection: it is full at two.
    s->Attach(0);
    s->OnFull(0);
    s->Detach(0);
    EXPECT_EQ(s->At(0).nCap, 2);
    EXPECT_EQ(s->Pick(-1, now), 1);
    EXPECT_EQ(s->Capacity(), 0) << "mirror 1 is not known to be limited";
    // Mirror 1 fails from now on while mirror 0 delivers.
    s->OnFault(1, DLE_CONNECT, now, 0);
    EXPECT_EQ(s->Pick(-1, now), 1) << "a cooling mirror is still asked when no other takes a connection";
    s->Detach(1);
    s->Detach(0);
    EXPECT_EQ(s->Pick(-1, now), 0) << "a mirror with room wins over a cooling one";
    for (DWORD t = 1000; t <= 61000; t += 1000) {
        s->OnBytes(0, 1024 * 1024, now + t);
        s->Sample(1000, now + t);
    }
    EXPECT_EQ(s->At(1).state, DLMirror::DROPPED);
    EXPECT_EQ(s->LastDropReason(), DLE_CONNECT);
    EXPECT_EQ(s->Alive(), 1);
    delete s;
}

TEST(WorkRecord, EveryFlippedByteAndEveryTruncationIsRefused)
{
    CWorkRecord* r = SampleRecord();
    BYTE* p = NULL;
    DWORD cb = 0;
    ASSERT_TRUE(r->Serialize(&p, &cb));
    CWorkRecord* back = new CWorkRecord();
    for (DWORD i = 0; i < cb; ++i) {
        for (int bit = 0; bit < 8; bit += 3) {
            p[i] ^= (BYTE)(1 << bit);
            EXPECT_EQ(back->Parse(p, cb), DLE_WORKFILE_CORRUPT) << "byte " << i << " bit " << bit;
            p[i] ^= (BYTE)(1 << bit);
        }
    }
    for (DWORD n = 0; n < cb; ++n)
        EXPECT_EQ(back->Parse(p, n), DLE_WORKFILE_CORRUPT) << "first " << n << " bytes";
    EXPECT_EQ(back->Parse(p, cb), DLE_OK);
    free(p);
    delete back;
    delete r;
}

// A record with a valid CRC can still claim impossible ranges; those are refused too.
TEST(WorkRecord, RangesOutsideTheFileAreRefused)
{
    CWorkRecord* r = SampleRecord();
    r->ranges.Add(99 * MiB, 101 * MiB);  // past the total
    BYTE* p = NULL;
    DWORD cb = 0;
    ASSERT_TRUE(r->Serialize(&p, &cb));
    CWorkRecord* back = new CWorkRecord();
    EXPECT_EQ(back->Parse(p, cb), DLE_WORKFILE_CORRUPT);
    free(p);
    delete back;
    delete r;
}

TEST(WorkRecord, SaveReplacesTheOldRecordAndLeavesNoTemporaryFile)
{
    WCHAR szTemp[MAX_PATH], szPath[MAX_PATH], szNew[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    _snwprintf(szPath, MAX_PATH, L"%lskv-record-%lu.dl.cfg", szTemp, ::GetCurrentProcessId());
    _snwprintf(szNew, MAX_PATH, L"%lskv-record-%lu.dl.new", szTemp, ::GetCurrentProcessId());
    CWorkRecord* r = SampleRecord();
    ASSERT_EQ(r->Save(szPath, szNew), DLE_OK);
    r->ranges.Add(10 * MiB, 20 * MiB);
    ASSERT_EQ(r->Save(szPath, szNew), DLE_OK);
    EXPECT_EQ(::GetFileAttributesW(szNew), INVALID_FILE_ATTRIBUTES);
    CWorkRecord* back = new CWorkRecord();
    ASSERT_EQ(back->Load(szPath), DLE_OK);
    EXPECT_EQ(back->ranges.Bytes(), 30 * MiB);
    ::DeleteFileW(szPath);
    EXPECT_EQ(back->Load(szPath), DLE_WORKFILE_MISSING);
    delete back;
    delete r;
}

LONG ParseHead(CHttpHead* h, const char* text) { return h->Parse(text, (DWORD)strlen(text)); }

TEST(HttpHead, PartialContent)
{
    CHttpHead h;
    ASSERT_EQ(ParseHead(&h, "HTTP/1.1 206 Partial Content\r\nContent-Length: 100\r\n"
                            "content-range: bytes 100-199/1000\r\nETag: \"x\"\r\n"
                            "Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n\r\n"),
              DLE_OK);
    EXPECT_EQ(h.nStatus, 206);
    EXPECT_EQ(h.llContentLength, 100);
    EXPECT_TRUE(h.bHasRange);
    EXPECT_EQ(h.ullRangeFirst, 100u);
    EXPECT_EQ(h.ullRangeLast, 199u);
    EXPECT_EQ(h.llRangeTotal, 1000);
    EXPECT_STREQ(h.szETag, "\"x\"");
    EXPECT_FALSE(h.bClose);
}

TEST(HttpHead, FramingAndConnection)
{
    CHttpHead h;
    ASSERT_EQ(ParseHead(&h, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n"), DLE_OK);
    EXPECT_TRUE(h.bClose) << "HTTP/1.0 closes unless it says keep-alive";
    ASSERT_EQ(ParseHead(&h, "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n\r\n"), DLE_OK);
    EXPECT_FALSE(h.bClose);
    ASSERT_EQ(ParseHead(&h, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"), DLE_OK);
    EXPECT_TRUE(h.bChunked);
    EXPECT_TRUE(h.bClose);
    ASSERT_EQ(ParseHead(&h, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */0\r\n\r\n"), DLE_OK);
    EXPECT_FALSE(h.bHasRange);
    EXPECT_EQ(h.llRangeTotal, 0);
    ASSERT_EQ(ParseHead(&h, "HTTP/1.1 503 Busy\nRetry-After: 7\n\n"), DLE_OK) << "bare line feeds";
    EXPECT_EQ(h.dwRetryAfterSec, 7u);
}

TEST(HttpHead, AmbiguousOrUnusableHeadsAreRefused)
{
    static const char* const kBad[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
        "HTTP/1.1 206 Partial\r\nContent-Range: bytes 200-100/1000\r\n\r\n",
        "HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-1000/1000\r\n\r\n",
        "HTTP/1.1 206 Partial\r\nContent-Range: 0-10/1000\r\n\r\n",
        "HTTP/1.1 200 OK\r\n folded: line\r\n\r\n",
        "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n",
        "ICY 200 OK\r\n\r\n",
        "HTTP/1.1 2x0 OK\r\n\r\n",
    };
    for (size_t i = 0; i < sizeof(kBad) / sizeof(kBad[0]); ++i) {
        CHttpHead h;
        EXPECT_EQ(ParseHead(&h, kBad[i]), DLE_PROTOCOL) << kBad[i];
    }
}

TEST(Url, PartsAndEncoding)
{
    CUrl u;
    ASSERT_EQ(u.Parse(L"HTTP://Example.COM:8080/a b/\x4e2d.vex?x=1#frag"), DLE_OK);
    EXPECT_FALSE(u.IsSecure());
    EXPECT_STREQ(u.Host(), "Example.COM");
    EXPECT_EQ(u.Port(), 8080);
    EXPECT_STREQ(u.Target(), "/a%20b/%E4%B8%AD.vex?x=1");
    char sz[300];
    u.HostHeader(sz, sizeof(sz));
    EXPECT_STREQ(sz, "Example.COM:8080");

    ASSERT_EQ(u.Parse(L"https://h"), DLE_OK);
    EXPECT_TRUE(u.IsSecure());
    EXPECT_EQ(u.Port(), 443);
    EXPECT_STREQ(u.Target(), "/");
    u.HostHeader(sz, sizeof(sz));
    EXPECT_STREQ(sz, "h");

    ASSERT_EQ(u.Parse(L"http://[::1]:81/x"), DLE_OK);
    EXPECT_STREQ(u.Host(), "::1");
    u.HostHeader(sz, sizeof(sz));
    EXPECT_STREQ(sz, "[::1]:81");
    EXPECT_EQ(u.Parse(L"http://h:0/"), DLE_UNSUPPORTED_URL);
    EXPECT_EQ(u.Parse(L"http://h:/x"), DLE_OK) << "an empty port means the default";
    EXPECT_EQ(u.Port(), 80);
}

TEST(Url, RedirectTargets)
{
    CUrl base, out;
    ASSERT_EQ(base.Parse(L"http://a.example:8000/dir/file.bin?q=1"), DLE_OK);
    ASSERT_EQ(base.Resolve("https://b.example/x", &out), DLE_OK);
    EXPECT_TRUE(out.IsSecure());
    EXPECT_STREQ(out.Host(), "b.example");
    ASSERT_EQ(base.Resolve("//c.example/y", &out), DLE_OK);
    EXPECT_STREQ(out.Host(), "c.example");
    EXPECT_EQ(out.Port(), 80);
    ASSERT_EQ(base.Resolve("/root.bin", &out), DLE_OK);
    EXPECT_STREQ(out.Host(), "a.example");
    EXPECT_EQ(out.Port(), 8000);
    EXPECT_STREQ(out.Target(), "/root.bin");
    ASSERT_EQ(base.Resolve("other.bin", &out), DLE_OK);
    EXPECT_STREQ(out.Target(), "/dir/other.bin");
    ASSERT_EQ(base.Resolve("?q=2", &out), DLE_OK);
    EXPECT_STREQ(out.Target(), "/dir/file.bin?q=2");
    EXPECT_EQ(base.Resolve("", &out), DLE_REDIRECTS);
    EXPECT_EQ(base.Resolve("ftp://x/", &out), DLE_REDIRECTS);
}

// ---- the volume that holds a download (no FAT volume exists under Wine: the file-system
// name is what GetVolumeInformationW answers, replaced here) ----

const WCHAR* g_pszFakeFileSystem = L"NTFS";
DWORD g_dwFakeFlags = FILE_SUPPORTS_SPARSE_FILES;
WCHAR g_szAskedRoot[MAX_PATH + 1];

BOOL WINAPI FakeVolumeInformation(LPCWSTR pszRoot, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD pdwFlags, LPWSTR pszFs,
                                  DWORD cchFs)
{
    lstrcpynW(g_szAskedRoot, pszRoot, MAX_PATH + 1);
    *pdwFlags = g_dwFakeFlags;
    lstrcpynW(pszFs, g_pszFakeFileSystem, (int)cchFs);
    return TRUE;
}

class VolumeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pfnOld = g_pfnDLGetVolumeInformationW;
        g_pfnDLGetVolumeInformationW = FakeVolumeInformation;
        g_szAskedRoot[0] = L'\0';
        // A target in folders that do not exist yet: the volume is still asked.
        WCHAR szTemp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, szTemp);
        _snwprintf(m_szPath, MAX_PATH, L"%lskv-volume-%lu\\not\\yet\\image.vex", szTemp, ::GetCurrentProcessId());
        m_szPath[MAX_PATH] = L'\0';
    }
    void TearDown() override { g_pfnDLGetVolumeInformationW = m_pfnOld; }

    BOOL(WINAPI* m_pfnOld)(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD);
    WCHAR m_szPath[MAX_PATH + 1];
};

TEST_F(VolumeTest, FatRefusesFourGibibytesAtOnceAndTakesOneByteLess)
{
    const ULONGLONG k4G = 4ull * 1024 * MiB;
    for (const WCHAR* fs : { L"FAT32", L"FAT", L"fat16" }) {
        g_pszFakeFileSystem = fs;
        EXPECT_EQ(CheckVolumeFor(m_szPath, k4G, 0), DLE_FILE_TOO_LARGE);
        EXPECT_EQ(CheckVolumeFor(m_szPath, k4G - 1, 0), DLE_OK);
    }
    // The volume's root was asked, although the target's folders do not exist.
    EXPECT_EQ(lstrlenW(g_szAskedRoot), 3);
    EXPECT_EQ(g_szAskedRoot[1], L':');
    g_pszFakeFileSystem = L"NTFS";
    EXPECT_EQ(CheckVolumeFor(m_szPath, 64 * k4G, 0), DLE_OK);
    g_pszFakeFileSystem = L"exFAT";
    EXPECT_EQ(CheckVolumeFor(m_szPath, 64 * k4G, 0), DLE_OK);
}

TEST_F(VolumeTest, FreeSpaceOfAFolderNotYetMade)
{
    g_pszFakeFileSystem = L"NTFS";
    DLVolumeFacts facts;
    ASSERT_TRUE(GetVolumeFacts(m_szPath, &facts));
    ASSERT_NE(facts.ullFree, ~0ull) << "free space not read for a folder that does not exist";
    EXPECT_EQ(CheckVolumeFor(m_szPath, facts.ullFree + 1, facts.ullFree + 1), DLE_DISK_FULL);
    EXPECT_EQ(CheckVolumeFor(m_szPath, facts.ullFree / 2, facts.ullFree / 2), DLE_OK);
}

TEST_F(VolumeTest, WithoutSparseFilesPartsStayNearTheFront)
{
    // Where files are sparse, one part per connection; elsewhere small pieces handed out
    // front first, so the furthest write is a few pieces past the written front.
    EXPECT_EQ(PartsToPlan(4096 * MiB, 8, TRUE, 4 * MiB), 8u);
    UINT n = PartsToPlan(4096 * MiB, 8, FALSE, 4 * MiB);
    EXPECT_GE(n, 200u);
    EXPECT_LE(n, (UINT)CPartScheduler::MAX_PARTS - 16);

    CRangeSet missing;
    missing.Add(0, 4096 * MiB);
    CPartScheduler parts;
    ASSERT_TRUE(parts.Plan(missing, n, 4 * MiB));
    ULONGLONG furthest = 0;
    for (int w = 0; w < 8; ++w) {
        int i = parts.Acquire(w);
        ASSERT_GE(i, 0);
        if (parts.Part(i).ullPos > furthest)
            furthest = parts.Part(i).ullPos;
    }
    EXPECT_LE(furthest, 8 * 32 * MiB) << "a connection starts far beyond the front";
}

}  // namespace

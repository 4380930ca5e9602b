// The engine's inner pieces on their own: byte-range sets, the part scheduler's splitting
// and work stealing, the work-file record's guards, response-head and URL parsing.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <stdlib.h>
#include "HttpHead.h"
#include "PartScheduler.h"
#include "RangeSet.h"
#include "Url.h"
#include "WorkRecord.h"

namespace {

const ULONGLONG MiB = 1024 * 1024;

TEST(RangeSet, MergesOverlappingAndTouchingRanges)
{
    CRangeSet s;
    s.Add(10, 20);
    s.Add(30, 40);
    s.Add(50, 60);
    ASSERT_EQ(s.Count(), 3u);
    s.Add(20, 30);   // touches both neighbours
    ASSERT_EQ(s.Count(), 2u);
    EXPECT_EQ(s.At(0).ullBegin, 10u);
    EXPECT_EQ(s.At(0).ullEnd, 40u);
    s.Add(5, 55);    // swallows everything up to the last
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.At(0).ullBegin, 5u);
    EXPECT_EQ(s.At(0).ullEnd, 60u);
    s.Add(70, 70);   // empty
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
    ASSERT_TRUE(p.Plan(missing, 4, 4 * MiB));   // four parts of 16 MiB
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
    ASSERT_TRUE(p.Plan(missing, 2, 4 * MiB));   // 7 MiB each
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
    free(p);
    delete back;
    delete r;
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
    r->ranges.Add(99 * MiB, 101 * MiB);   // past the total
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

LONG ParseHead(CHttpHead* h, const char* text)
{
    return h->Parse(text, (DWORD)strlen(text));
}

TEST(HttpHead, PartialContent)
{
    CHttpHead h;
    ASSERT_EQ(ParseHead(&h, "HTTP/1.1 206 Partial Content\r\nContent-Length: 100\r\n"
                            "content-range: bytes 100-199/1000\r\nETag: \"x\"\r\n"
                            "Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n\r\n"), DLE_OK);
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

}  // namespace

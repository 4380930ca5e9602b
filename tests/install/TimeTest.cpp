// Seconds since 1970 and file times, the build-time line and the health notice texts.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <time.h>
#include "install/BuildTime.h"
#include "install/HealthNotice.h"
#include "install/TimeUtil.h"

static ULONGLONG AsULL(const FILETIME& ft) { return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime; }

TEST(TimeUtil, EpochIsTheFileTimeOf1970)
{
    SYSTEMTIME st = { 1970, 1, 4, 1, 0, 0, 0, 0 };
    FILETIME ft;
    ASSERT_TRUE(::SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(UNIX_EPOCH_FILETIME, AsULL(ft));
    ASSERT_TRUE(UnixTimeToFileTime(0, &ft));
    EXPECT_EQ(116444736000000000ULL, AsULL(ft));
}

TEST(TimeUtil, UnixTimeToFileTimeFullRange)
{
    FILETIME ft;
    EXPECT_FALSE(UnixTimeToFileTime(5, NULL));
    ASSERT_TRUE(UnixTimeToFileTime(0xFFFFFFFFu, &ft));
    EXPECT_EQ(UNIX_EPOCH_FILETIME + 0xFFFFFFFFULL * 10000000ULL, AsULL(ft)) << "no 32-bit overflow";
    SYSTEMTIME st;
    ASSERT_TRUE(UnixTimeToFileTime(1700000000, &ft));
    ASSERT_TRUE(::FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(2023, st.wYear);
    EXPECT_EQ(11, st.wMonth);
    EXPECT_EQ(14, st.wDay);
    EXPECT_EQ(22, st.wHour);
    EXPECT_EQ(13, st.wMinute);
    EXPECT_EQ(20, st.wSecond);
}

TEST(TimeUtil, NowAgreesWithTheRuntimeClock)
{
    DWORD dwBefore = (DWORD)::time(NULL);
    DWORD dwNow = GetUnixTimeNow();
    DWORD dwAfter = (DWORD)::time(NULL);
    EXPECT_LE(dwBefore, dwNow + 1);
    EXPECT_LE(dwNow, dwAfter + 1);
}

TEST(BuildTime, LineFormat)
{
    WCHAR sz[256];
    FormatBuildTimeLine(sz, 256, 0);
    EXPECT_STREQ(L"{&#font=1}{&#color=0xC0C0C0}buile time : 1970-01-01 00:00.00{&#/color}{&#/font}", sz);
    FormatBuildTimeLine(sz, 256, 1700000000);
    EXPECT_STREQ(L"{&#font=1}{&#color=0xC0C0C0}buile time : 2023-11-14 22:13.20{&#/color}{&#/font}", sz);
    WCHAR szShort[12];
    szShort[11] = L'#';
    FormatBuildTimeLine(szShort, 11, 0);
    EXPECT_EQ(10, lstrlenW(szShort));
    EXPECT_EQ(L'#', szShort[11]);
}

TEST(BuildTime, ProgramCarriesARealLinkTimeStamp)
{
    DWORD dwStamp = GetProgramLinkTime();
    EXPECT_GT(dwStamp, 1577836800u) << "after 2020-01-01";
    EXPECT_LE(dwStamp, GetUnixTimeNow() + 86400) << "not in the future";
}

TEST(HealthNoticeText, AgeRulesAndWrapAround)
{
    WCHAR sz[2048];
    const DWORD now = 1700000000;
    FormatHealthNotice(sz, 2048, now - 91 * 86400, now);
    EXPECT_NE(nullptr, wcsstr(sz, L"安装已经超过91天，"));
    FormatHealthNotice(sz, 2048, now - 90 * 86400 - 86399, now);
    EXPECT_NE(nullptr, wcsstr(sz, L"存在较多垃圾")) << "90 days and 86,399 s round down to 90";
    FormatHealthNotice(sz, 2048, now - 90 * 86400 - 86400, now);
    EXPECT_NE(nullptr, wcsstr(sz, L"超过91天"));
    FormatHealthNotice(sz, 2048, now + 3600, now);
    WCHAR szExpected[64];
    wnsprintfW(szExpected, 64, L"超过%u天", (0xFFFFFFFFu - 3600 + 1) / 86400);
    EXPECT_NE(nullptr, wcsstr(sz, szExpected)) << "a date in the future wraps";
    FormatHealthNotice(sz, 2048, 0, 86400 * 20000 + 5);
    EXPECT_NE(nullptr, wcsstr(sz, L"超过20000天"));
}

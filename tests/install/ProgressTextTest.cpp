// The download page's detail line and the failure causes: sizes in MB and GB with one
// decimal, the time left, the percentage, the reconnecting and verifying lines, and which
// box each engine fault leads to.
#include <gtest/gtest.h>
#include <string>
#include "install/DownloadFailure.h"
#include "install/ProgressText.h"
#include "dlengine/DLEngineApi.h"

static const ULONGLONG MiB = 1ULL << 20;
static const ULONGLONG GiB = 1ULL << 30;

static std::wstring Size(ULONGLONG ull)
{
    WCHAR sz[32];
    FormatImageSize(sz, ARRAYSIZE(sz), ull);
    return sz;
}

static std::wstring Left(ULONGLONG ullSeconds)
{
    WCHAR sz[64];
    FormatTimeLeft(sz, ARRAYSIZE(sz), ullSeconds);
    return sz;
}

static std::wstring Grey(const std::wstring& s) { return L"{&#font=3}{&#color=0x484848}" + s + L"{&#/color}{&#/font}"; }

TEST(ProgressText, SizesInMegabytesBelowOneGigabyteThenGigabytesOneDecimalRounded)
{
    EXPECT_EQ(L"0.0MB", Size(0));
    EXPECT_EQ(L"0.1MB", Size(MiB / 10 + 1));
    EXPECT_EQ(L"7.8MB", Size(8192000));
    EXPECT_EQ(L"15.6MB", Size(16384000));
    EXPECT_EQ(L"700.0MB", Size(700 * MiB));
    EXPECT_EQ(L"1023.9MB", Size(GiB - 120 * 1024));
    EXPECT_EQ(L"1.0GB", Size(GiB));
    EXPECT_EQ(L"3.5GB", Size(3 * GiB + GiB / 2));
    EXPECT_EQ(L"4.0GB", Size(4 * GiB - 1));
    EXPECT_EQ(L"8191.9GB", Size(8191 * GiB + 9 * GiB / 10));
}

TEST(ProgressText, TimeLeftInSecondsMinutesOrHoursRoundedUp)
{
    EXPECT_EQ(L"剩余时间约 1秒", Left(0));
    EXPECT_EQ(L"剩余时间约 4秒", Left(4));
    EXPECT_EQ(L"剩余时间约 59秒", Left(59));
    EXPECT_EQ(L"剩余时间约 1分钟", Left(60));
    EXPECT_EQ(L"剩余时间约 2分钟", Left(61));
    EXPECT_EQ(L"剩余时间约 59分钟", Left(3540));
    EXPECT_EQ(L"剩余时间约 1小时0分钟", Left(3600));
    EXPECT_EQ(L"剩余时间约 2小时5分钟", Left(2 * 3600 + 4 * 60 + 1));
}

TEST(ProgressText, ProgressLineWithPercentAndTimeLeftOnlyWithASpeedAndBytesMissing)
{
    WCHAR sz[PROGRESS_TEXT_CCH];
    // 8,192,000 of 16,384,000 bytes at 2000 bytes/ms: 8,192,000 bytes left take 4 s.
    FormatProgressLine(sz, ARRAYSIZE(sz), 8192000, 16384000, 2000);
    EXPECT_EQ(Grey(L"已下载 7.8MB / 15.6MB（50%），剩余时间约 4秒"), sz);
    FormatProgressLine(sz, ARRAYSIZE(sz), 8192000, 16384000, 0);
    EXPECT_EQ(Grey(L"已下载 7.8MB / 15.6MB（50%）"), sz) << "no speed measured yet";
    FormatProgressLine(sz, ARRAYSIZE(sz), 16384000, 16384000, 2000);
    EXPECT_EQ(Grey(L"已下载 15.6MB / 15.6MB（100%）"), sz) << "nothing left";
    // A 3.5 GB image at 1000 bytes/ms (1 MB/s) with 1 GB done: 2.5 GiB left, 44 min 44 s.
    FormatProgressLine(sz, ARRAYSIZE(sz), GiB, 3 * GiB + GiB / 2, 1000);
    EXPECT_EQ(Grey(L"已下载 1.0GB / 3.5GB（28%），剩余时间约 45分钟"), sz);
    // A count past the total (an engine fault) never reads more than 100 %.
    FormatProgressLine(sz, ARRAYSIZE(sz), 2 * MiB, MiB, 5);
    EXPECT_EQ(Grey(L"已下载 2.0MB / 1.0MB（100%）"), sz);
    // Cut, never overrun.
    WCHAR szSmall[12];
    szSmall[11] = L'#';
    FormatProgressLine(szSmall, 11, GiB, 4 * GiB, 1);
    EXPECT_EQ(L'#', szSmall[11]);
    EXPECT_EQ(10, lstrlenW(szSmall));
}

TEST(ProgressText, ReconnectingInOrangeAndVerifyingWithItsPercent)
{
    WCHAR sz[PROGRESS_TEXT_CCH];
    FormatReconnectingLine(sz, ARRAYSIZE(sz));
    EXPECT_STREQ(L"{&#font=3}{&#color=0x0080ff}网络连接中断，正在重新连接…{&#/color}{&#/font}", sz);
    FormatVerifyingLine(sz, ARRAYSIZE(sz), 0, 0);
    EXPECT_EQ(Grey(L"正在校验系统镜像… 0%"), sz);
    FormatVerifyingLine(sz, ARRAYSIZE(sz), 3 * GiB, 4 * GiB);
    EXPECT_EQ(Grey(L"正在校验系统镜像… 75%"), sz);
    EXPECT_EQ(0, PercentOf(1, 16384000));
    EXPECT_EQ(99, PercentOf(~0ULL - 1, ~0ULL));
    EXPECT_EQ(100, PercentOf(~0ULL, ~0ULL));
}

TEST(DownloadFailure, EachEngineFaultLeadsToItsBox)
{
    struct
    {
        LONG lError;
        DownloadFailureCause cause;
    } kCases[] = {
        { DLE_HTTP_NOT_FOUND, DFC_MIRRORS_GONE },
        { DLE_HTTP_REFUSED, DFC_MIRRORS_GONE },
        { DLE_SIZE_MISMATCH, DFC_MIRRORS_GONE },
        { DLE_REDIRECTS, DFC_MIRRORS_GONE },
        { DLE_PROTOCOL, DFC_MIRRORS_GONE },
        { DLE_HOST_NOT_FOUND, DFC_NETWORK },
        { DLE_CONNECT, DFC_NETWORK },
        { DLE_NETWORK, DFC_NETWORK },
        { DLE_HTTP_SERVER, DFC_NETWORK },
        { DLE_SECURE, DFC_NETWORK },
        { DLE_CHECKSUM, DFC_CHECKSUM },
        { DLE_DISK_FULL, DFC_DISK_FULL },
        { DLE_FILE_TOO_LARGE, DFC_FILE_TOO_LARGE },
        { DLE_UNSUPPORTED_URL, DFC_NO_ADDRESS },
        { DLE_WRITE, DFC_WRITE },
        { DLE_CREATE_FILE, DFC_WRITE },
        { DLE_READ, DFC_WRITE },
        { DLE_NO_RESOURCES, DFC_OTHER },
        { DLE_BUSY, DFC_OTHER },
        { -1, DFC_OTHER },
        { 999, DFC_OTHER },
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.cause, CauseOfEngineError(c.lError)) << "DLE_ code " << c.lError;
}

TEST(DownloadFailure, EveryCauseHasItsOwnTitleAMainLineAndAHint)
{
    const wchar_t* kTitles[] = { L"下载地址已失效", L"网络连接中断",       L"系统镜像校验失败", L"磁盘空间不足",
                                 L"磁盘格式不支持", L"没有可用的下载地址", L"写入磁盘失败",     L"下载失败" };
    for (int n = DFC_MIRRORS_GONE; n <= DFC_OTHER; ++n) {
        const DownloadFailureTexts& t = TextsOfCause((DownloadFailureCause)n);
        EXPECT_STREQ(kTitles[n], t.pszTitle);
        EXPECT_GT(lstrlenW(t.pszLine), 10) << n;
        EXPECT_GT(lstrlenW(t.pszHint), 8) << n;
        EXPECT_STRNE(t.pszLine, t.pszHint);
    }
    EXPECT_STREQ(L"下载失败", TextsOfCause((DownloadFailureCause)42).pszTitle) << "out of range: the general box";
}

// The install command and the download poll through the dialog's own message handling,
// with a scripted engine, a fixed clock and stand-in drive free space: the target, the
// status lines, the engine task, progress and speed, the completion and the exit.
#include <gtest/gtest.h>
#include "InstallTestSupport.h"
#include "text/DlgMsgBox.h"
#include "startup/Catalogue.h"
#include "install/DownloadPoll.h"
#include "som/SomSkin.h"

static const ULONGLONG GiB = 1ULL << 30;
static const wchar_t kPreparing[] = L"正在准备系统重装文件，请耐心等待，重装后还你一个极速系统 . . .";

// The addresses start-up reads from the catalogue.
static void SetAddresses()
{
    lstrcpynW(g_szXPUrl, L"http://127.0.0.1:1/xp.img", 1024);
    lstrcpynW(g_szWin7Url, L"http://127.0.0.1:1/w7.img", 1024);
}

TEST(DownloadJob, InstallStartsTheTaskOnTheChosenDriveAndShowsTheDownloadPage)
{
    SetAddresses();
    FakeEngine engine;
    FakeDisks disks({ { L"D:", 2 * GiB }, { L"F:", 3 * GiB } });
    FakeClock clock(1000000);
    CMainDlg dlg;
    RunDialog(dlg, [&](CMainDlg& d) {
        DWORD dwStart = ::GetTickCount();
        EXPECT_TRUE(InstallAndStopTimer(d)) << "TIMER_DOWNLOAD runs after the command";
        DWORD dwTook = ::GetTickCount() - dwStart;
        EXPECT_GE(dwTook, 1150u) << "twelve status lines at 100 ms each";
        EXPECT_STREQ(L"F:\\ghofile\\xp.vex", d.m_szImagePath);
        EXPECT_EQ(PAGE_DOWNLOAD, d.m_nPage);
        EXPECT_EQ(1, engine.nCreated);
        EXPECT_EQ(L"F:\\ghofile\\xp.vex", engine.strPath);
        EXPECT_EQ(L"http://127.0.0.1:1/xp.img", engine.strUrl);
        EXPECT_EQ(7, d.m_lTaskId);
        EXPECT_FALSE(d.m_bImageReady);
        EXPECT_EQ(std::wstring(kPreparing), d.m_wndStatus.m_strText);
        EXPECT_EQ(1, d.m_imgSteps.m_nFrame);
        EXPECT_EQ(0, d.m_progress.m_nPercent);
        EXPECT_EQ(L"", d.m_wndSpeed.m_strText);
        EXPECT_EQ(1000000u, d.m_dwLastTick);
        EXPECT_EQ(0u, d.m_ullLastRecv);
        EXPECT_FALSE(d.m_btnInstall.IsVisible()) << "the command cannot run twice";

        // Exit stops the started task and ends the dialog with 0.
        ::SendMessageW(d.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_EQ(1, engine.nStops);
        EXPECT_EQ(7, engine.lStoppedTask);
        return FALSE;
    });
}

TEST(DownloadJob, WindowsSevenUsesItsImageAndAddress)
{
    SetAddresses();
    FakeEngine engine;
    FakeDisks disks({ { L"E:", 5 * GiB } });
    FakeClock clock(1000000);
    CMainDlg dlg;
    RunDialog(dlg, [&](CMainDlg& d) {
        d.SetChoice(IMAGE_KIND_WIN7);
        InstallAndStopTimer(d);
        EXPECT_EQ(L"E:\\ghofile\\win7u32.vex", engine.strPath);
        EXPECT_EQ(L"http://127.0.0.1:1/w7.img", engine.strUrl);
        return TRUE;
    });
}

TEST(DownloadJob, NoDriveWithRoomShowsTheBoxThenEndsWithZero)
{
    FakeEngine engine;
    FakeDisks disks({ { L"D:", GiB - 1 } });
    CMainDlg dlg;
    int nBoxes = 0;
    INT_PTR nRet = RunDialog(dlg, [&](CMainDlg& d) {
        HWND hMain = d.m_hWnd;
        CloseBoxesLater(hMain, &nBoxes);
        ::SendMessageW(hMain, WM_COMMAND, IDC_BTN_INSTALL, 0);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage) << "the page does not switch";
        return FALSE;
    });
    EXPECT_EQ(1, nBoxes);
    EXPECT_EQ(0, nRet);
    EXPECT_EQ(0, engine.nCreated);
    EXPECT_EQ(0, engine.nStops);
}

TEST(DownloadJob, PollShowsPercentAndSpeedOnlyWithNewBytesAndNewSeconds)
{
    SetAddresses();
    FakeEngine engine;
    FakeDisks disks({ { L"D:", 2 * GiB } });
    FakeClock clock(1000000);
    CMainDlg dlg;
    RunDialog(dlg, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        engine.lStatus = 1;

        // The engine does not know the size yet: nothing changes.
        FakeClock::s_dwNow += 4096;
        engine.ullReceived = 4096;
        PollDownload(d);
        EXPECT_EQ(0, d.m_progress.m_nPercent);
        EXPECT_EQ(L"", d.m_wndSpeed.m_strText);
        EXPECT_EQ(1000000u, d.m_dwLastTick);

        // 8,192,000 of 16,384,000 bytes 4096 ms after the start.
        FakeClock::s_dwNow = 1000000 + 4096;
        engine.ullTotal = 16384000;
        engine.ullReceived = 8192000;
        PollDownload(d);
        EXPECT_EQ(50, d.m_progress.m_nPercent);
        EXPECT_EQ(L"下载速度2000kb/s。", d.m_wndSpeed.m_strText);
        EXPECT_EQ(1004096u, d.m_dwLastTick);
        EXPECT_EQ(8192000u, d.m_ullLastRecv);

        // No new bytes: the line stays, and so does the sample start.
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(L"下载速度2000kb/s。", d.m_wndSpeed.m_strText);
        EXPECT_EQ(1004096u, d.m_dwLastTick);

        // Bytes again: the speed spans both intervals.
        FakeClock::s_dwNow += 4096;
        engine.ullReceived = 8192000 + 4096000;
        PollDownload(d);
        EXPECT_EQ(75, d.m_progress.m_nPercent);
        EXPECT_EQ(L"下载速度500kb/s。", d.m_wndSpeed.m_strText);
        EXPECT_EQ(1012288u, d.m_dwLastTick);

        // Within the same whole second as the last sample: nothing changes.
        FakeClock::s_dwNow = 1012999;
        engine.ullReceived = 16000000;
        PollDownload(d);
        EXPECT_EQ(75, d.m_progress.m_nPercent);
        EXPECT_EQ(L"下载速度500kb/s。", d.m_wndSpeed.m_strText);

        // An engine that reports more than the total must not draw past the bar's end.
        FakeClock::s_dwNow = 1020000;
        engine.ullReceived = 20000000;
        PollDownload(d);
        EXPECT_EQ(100, d.m_progress.m_nPercent);

        // Other timers and a poll while the choice page shows are no polls.
        int nQueries = engine.nQueries;
        ::SendMessageW(d.m_hWnd, WM_TIMER, 0x102, 0);
        d.SetPage(PAGE_CHOICE);
        PollDownload(d);
        EXPECT_EQ(nQueries, engine.nQueries);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);
        return TRUE;
    });
}

TEST(DownloadJob, FinishedStatusRunsTheCompletionOnceAndHides)
{
    SetAddresses();
    FakeEngine engine;
    FakeDisks disks({ { L"D:", 2 * GiB } });
    FakeClock clock(1000000);
    CMainDlg dlg;
    RunDialog(dlg, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        engine.ullTotal = 100;
        engine.ullReceived = 60;
        engine.lStatus = 1;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(60, d.m_progress.m_nPercent);

        ::SetTimer(d.m_hWnd, TIMER_DOWNLOAD, TIMER_DOWNLOAD_PERIOD, NULL);
        engine.lStatus = DL_STATUS_FINISHED;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_FALSE(::KillTimer(d.m_hWnd, TIMER_DOWNLOAD)) << "the completion stops the timer";
        EXPECT_TRUE(d.m_bImageReady);
        EXPECT_EQ(2, d.m_imgSteps.m_nFrame);
        EXPECT_EQ(100, d.m_progress.m_nPercent);
        EXPECT_EQ(L"", d.m_wndSpeed.m_strText);
        EXPECT_EQ(L"重装所需文件准备完毕，建议立即重装. . .", d.m_wndStatus.m_strText);
        // No restore tool in this program's resources: it cannot start, the window hides.
        EXPECT_FALSE(::IsWindowVisible(d.m_hWnd));

        // A stray download timer message later does not rerun the hand-off.
        ::SendMessageW(d.m_hWnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
        int nQueries = engine.nQueries;
        PollDownload(d);
        EXPECT_TRUE(::IsWindowVisible(d.m_hWnd));
        EXPECT_EQ(nQueries, engine.nQueries) << "a ready image is not polled";
        return TRUE;
    });
}

TEST(DownloadPoll, SampleRules)
{
    DownloadSample s = { -1, -1, -1 };
    EXPECT_FALSE(TakeDownloadSample(5000, 10, 0, 1000, 0, &s)) << "size unknown";
    EXPECT_FALSE(TakeDownloadSample(1999, 10, 100, 1000, 0, &s)) << "same whole second";
    EXPECT_TRUE(TakeDownloadSample(2000, 10, 100, 1999, 0, &s)) << "next whole second, 1 ms later";
    EXPECT_EQ(10, s.nPercent);
    EXPECT_EQ(10, s.lSpeed);
    ASSERT_TRUE(TakeDownloadSample(4096, 8192000, 16384000, 0, 0, &s));
    EXPECT_EQ(50, s.nPercent);
    EXPECT_EQ(2000, s.lSpeed);
    ASSERT_TRUE(TakeDownloadSample(9000, 8192000, 16384000, 4096, 8192000, &s));
    EXPECT_EQ(0, s.lSpeed);
    ASSERT_TRUE(TakeDownloadSample(9000, 16384001, 16384000, 4096, 0, &s));
    EXPECT_EQ(100, s.nPercent) << "clamped";
    ASSERT_TRUE(TakeDownloadSample(9000, 1, 16384000, 4096, 0, &s));
    EXPECT_EQ(0, s.nPercent) << "truncating";
    // Multi-gigabyte images keep their 64-bit arithmetic.
    ASSERT_TRUE(TakeDownloadSample(10000, 3 * GiB, 4 * GiB, 0, 0, &s));
    EXPECT_EQ(75, s.nPercent);
    EXPECT_EQ((LONG)(3 * GiB / 10000), s.lSpeed);
    EXPECT_FALSE(s.bRebase);
    // Across the tick counter's wrap the page keeps moving; the interval is 0x1000 ms.
    ASSERT_TRUE(TakeDownloadSample(0x0800, 8192000, 16384000, 0xFFFFF800u, 0, &s));
    EXPECT_EQ(50, s.nPercent);
    EXPECT_EQ(2000, s.lSpeed);
    // A download started over by the engine shows no speed and measures anew.
    ASSERT_TRUE(TakeDownloadSample(14000, 1000, 4 * GiB, 10000, 3 * GiB, &s));
    EXPECT_TRUE(s.bRebase);
    EXPECT_EQ(0, s.lSpeed);
    EXPECT_EQ(0, s.nPercent);
}

// The download road with a scripted engine: every catalogue address and the expected size
// and SHA-256 reach the task, the detail line follows the polls (progress, reconnecting,
// verifying), a failed task shows its box and brings the install button back for a retry,
// and an image, downloaded or already at the path, reaches the hand-off only once it was
// checked while held.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string>
#include "InstallTestSupport.h"
#include "TestFiles.h"
#include "install/DownloadPoll.h"
#include "install/ProgressText.h"
#include "startup/Catalogue.h"
#include "startup/ImageSource.h"
#include "text/DlgMsgBox.h"

static const ULONGLONG GiB = 1ULL << 30;
static const wchar_t kSha[] = L"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

namespace {

// The catalogue as start-up leaves it: the drawn address and the section's others.
void SetXpSource(LPCWSTR pszDrawn, std::initializer_list<LPCWSTR> urls, ULONGLONG ullSize, LPCWSTR pszSha)
{
    ::lstrcpynW(g_szXPUrl, pszDrawn, CATALOGUE_URL_CCH);
    ZeroMemory(&g_srcXP, sizeof(g_srcXP));
    for (LPCWSTR p : urls)
        ::lstrcpynW(g_srcXP.aszUrls[g_srcXP.nUrls++], p, 1024);
    g_srcXP.ullSize = ullSize;
    ::lstrcpynW(g_srcXP.szSha256, pszSha, ARRAYSIZE(g_srcXP.szSha256));
}

// An image file in a test folder on C: (the drive scenarios own D: to Z:), as the install
// command would have chosen it; the download page shows as after the status lines.
std::wstring PlaceImage(CMainDlg& d, const std::string& bytes)
{
    std::wstring path = MakeTestFolder(L"road") + L"\\xp.vex";
    if (!bytes.empty())
        WriteBytes(path, bytes);
    ::lstrcpynW(d.m_szImagePath, path.c_str(), ARRAYSIZE(d.m_szImagePath));
    d.SetPage(PAGE_DOWNLOAD);
    return path;
}

}  // namespace

// A dialog over the scripted engine, 2 GiB free on D: and a fixed clock; boxes the test
// closes are counted in nBoxes.
class DownloadRoad : public ::testing::Test
{
protected:
    FakeEngine engine;
    FakeDisks disks{ { { L"D:", 2 * GiB } } };
    FakeClock clock{ 1000000 };
    CMainDlg dlg;
    int nBoxes = 0;
};

TEST_F(DownloadRoad, TaskGetsEveryAddressDrawnFirstWithSizeAndHash)
{
    SetXpSource(L"http://b/xp", { L"http://a/xp", L"http://b/xp", L"http://c/xp" }, 734003200, kSha);
    RunDialog(dlg, [&](CMainDlg& d) {
        EXPECT_TRUE(InstallAndStopTimer(d));
        EXPECT_EQ(1, engine.nCreated);
        std::vector<std::wstring> expect = { L"http://b/xp", L"http://a/xp", L"http://c/xp" };
        EXPECT_EQ(expect, engine.urls);
        EXPECT_EQ(734003200u, engine.ullExpectedSize);
        EXPECT_EQ(kSha, engine.strSha256);
        return TRUE;
    });
    // An empty draw (a count beyond the listed keys) still gets the others; no hash: none passed.
    SetXpSource(L"", { L"http://a/xp" }, 0, L"");
    CMainDlg dlg2;
    RunDialog(dlg2, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        EXPECT_EQ(std::vector<std::wstring>{ L"http://a/xp" }, engine.urls);
        EXPECT_EQ(L"", engine.strSha256);
        EXPECT_EQ(0u, engine.ullExpectedSize);
        return TRUE;
    });
}

TEST_F(DownloadRoad, DetailLineFollowsProgressReconnectingAndVerifying)
{
    SetXpSource(L"http://a/xp", {}, 0, L"");
    RunDialog(dlg, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        EXPECT_TRUE(d.m_wndDetail.IsVisible());
        EXPECT_EQ(L"", d.m_wndDetail.m_strText);

        WCHAR szReconnecting[PROGRESS_TEXT_CCH];
        FormatReconnectingLine(szReconnecting, ARRAYSIZE(szReconnecting));
        engine.lStatus = DL_STATUS_RETRYING;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(szReconnecting, d.m_wndDetail.m_strText) << "shown before the size is known";

        engine.lStatus = DL_STATUS_DOWNLOADING;
        engine.ullTotal = 16384000;
        engine.ullReceived = 8192000;
        FakeClock::s_dwNow = 1000000 + 4096;
        PollDownload(d);
        EXPECT_EQ(L"下载速度2000kb/s。", d.m_wndSpeed.m_strText) << "the existing line stays";
        EXPECT_EQ(L"{&#font=3}{&#color=0x484848}已下载 7.8MB / 15.6MB（50%），剩余时间约 4秒{&#/color}{&#/font}",
                  d.m_wndDetail.m_strText);
        EXPECT_TRUE(d.m_bTrayAdded);
        EXPECT_STREQ(L"Korvane一键装机 下载中 50%", d.m_nid.szTip) << "the tip tells the progress";

        // Retrying with no progress: the reconnecting line; the bar keeps its place.
        engine.lStatus = DL_STATUS_RETRYING;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(szReconnecting, d.m_wndDetail.m_strText);
        EXPECT_EQ(50, d.m_progress.m_nPercent);
        EXPECT_EQ(L"下载速度0kb/s。", d.m_wndSpeed.m_strText) << "no speed is claimed while reconnecting";

        // Bytes again: the progress line comes back.
        engine.lStatus = DL_STATUS_DOWNLOADING;
        engine.ullReceived = 12288000;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(L"{&#font=3}{&#color=0x484848}已下载 11.7MB / 15.6MB（75%），剩余时间约 8秒{&#/color}{&#/font}",
                  d.m_wndDetail.m_strText);
        EXPECT_EQ(L"下载速度500kb/s。", d.m_wndSpeed.m_strText) << "measured over the whole outage";

        engine.lStatus = DL_STATUS_VERIFYING;
        engine.ullReceived = engine.ullTotal;
        engine.ullVerified = 4096000;
        FakeClock::s_dwNow += 4096;
        PollDownload(d);
        EXPECT_EQ(L"{&#font=3}{&#color=0x484848}正在校验系统镜像… 25%{&#/color}{&#/font}", d.m_wndDetail.m_strText);
        EXPECT_STREQ(L"Korvane一键装机 校验中 25%", d.m_nid.szTip);
        EXPECT_FALSE(d.m_bImageReady);
        return TRUE;
    });
}

TEST_F(DownloadRoad, FailedTaskShowsItsBoxThenTheInstallButtonTriesAgain)
{
    SetXpSource(L"http://a/xp", { L"http://b/xp" }, 0, L"");
    INT_PTR nRet = RunDialog(dlg, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        ::SetTimer(d.m_hWnd, TIMER_DOWNLOAD, TIMER_DOWNLOAD_PERIOD, NULL);
        engine.lStatus = DL_STATUS_FAILED + DLE_HTTP_NOT_FOUND;
        CloseBoxesLater(d.m_hWnd, &nBoxes);
        PollDownload(d);
        EXPECT_EQ(1, nBoxes);
        EXPECT_EQ(DFC_MIRRORS_GONE, d.m_nLastFailure);
        EXPECT_FALSE(::KillTimer(d.m_hWnd, TIMER_DOWNLOAD)) << "no more polls";
        EXPECT_EQ(1, engine.nStops) << "stopped, so its work files stay for the retry";
        EXPECT_EQ(7, engine.lStoppedTask);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);
        EXPECT_TRUE(d.m_btnInstall.IsVisible());
        EXPECT_TRUE(::IsWindowVisible(d.m_hWnd));
        EXPECT_STREQ(L"Korvane一键装机", d.m_nid.szTip);

        // One click tries again: a new task (the catalogue fetch fails here: the addresses stay).
        engine.lStatus = DL_STATUS_CONNECTING;
        engine.lNextTaskId = 8;
        EXPECT_TRUE(InstallAndStopTimer(d));
        EXPECT_EQ(2, engine.nCreated);
        EXPECT_EQ(PAGE_DOWNLOAD, d.m_nPage);
        EXPECT_EQ(0, d.m_progress.m_nPercent);
        EXPECT_EQ(1, d.m_imgSteps.m_nFrame);
        EXPECT_EQ((std::vector<std::wstring>{ L"http://a/xp", L"http://b/xp" }), engine.urls);

        // A start the engine refuses ends in the box as well.
        engine.lCreateError = DLE_UNSUPPORTED_URL;
        CloseBoxesLater(d.m_hWnd, &nBoxes);
        EXPECT_FALSE(InstallAndStopTimer(d)) << "no timer for a task that was refused";
        EXPECT_EQ(2, nBoxes);
        EXPECT_EQ(DFC_NO_ADDRESS, d.m_nLastFailure);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);

        // Exit after a failure ends with 0 and stops nothing more.
        int nStops = engine.nStops;
        ::SendMessageW(d.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_EQ(nStops, engine.nStops);
        return FALSE;
    });
    EXPECT_EQ(0, nRet);
}

TEST_F(DownloadRoad, TaskTheEngineNoLongerKnowsEndsInTheGeneralBox)
{
    SetXpSource(L"http://a/xp", {}, 0, L"");
    RunDialog(dlg, [&](CMainDlg& d) {
        InstallAndStopTimer(d);
        engine.lQueryError = DLE_UNKNOWN_TASK;
        CloseBoxesLater(d.m_hWnd, &nBoxes);
        PollDownload(d);
        EXPECT_EQ(1, nBoxes);
        EXPECT_EQ(DFC_OTHER, d.m_nLastFailure);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);
        return TRUE;
    });
}

TEST_F(DownloadRoad, NoAddressAtAllShowsItsBoxWithoutATask)
{
    SetXpSource(L"", {}, 0, L"");
    RunDialog(dlg, [&](CMainDlg& d) {
        CloseBoxesLater(d.m_hWnd, &nBoxes);
        EXPECT_FALSE(InstallAndStopTimer(d));
        EXPECT_EQ(1, nBoxes);
        EXPECT_EQ(DFC_NO_ADDRESS, d.m_nLastFailure);
        EXPECT_EQ(0, engine.nCreated);
        EXPECT_EQ(0, engine.nStops);
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);
        return TRUE;
    });
}

TEST_F(DownloadRoad, ImageInPlaceWithHashIsVerifiedAndFetchedAgainOnMismatch)
{
    SetXpSource(L"http://a/xp", {}, 5, kSha);
    RunDialog(dlg, [&](CMainDlg& d) {
        std::wstring path = PlaceImage(d, "other");
        EXPECT_TRUE(d.BeginImageTask());
        EXPECT_EQ(1, engine.nVerifies);
        EXPECT_EQ(path, engine.strVerifyPath);
        EXPECT_EQ(kSha, engine.strSha256);
        EXPECT_EQ(5u, engine.ullExpectedSize);
        EXPECT_EQ(0, engine.nCreated) << "nothing is fetched while the image is checked";
        EXPECT_FALSE(d.m_bImageReady) << "not handed over unchecked";
        EXPECT_EQ(L"{&#font=3}{&#color=0x484848}正在校验系统镜像… 0%{&#/color}{&#/font}", d.m_wndDetail.m_strText);

        engine.lStatus = DL_STATUS_FAILED + DLE_CHECKSUM;
        PollDownload(d);
        EXPECT_FALSE(::PathFileExistsW(path.c_str())) << "the damaged image is deleted";
        EXPECT_EQ(1, engine.nStops);
        EXPECT_EQ(1, engine.nCreated) << "and fetched again";
        EXPECT_EQ(path, engine.strPath);
        EXPECT_EQ(kSha, engine.strSha256);
        EXPECT_EQ(PAGE_DOWNLOAD, d.m_nPage);
        EXPECT_FALSE(d.m_bImageReady);
        EXPECT_EQ(-1, d.m_nLastFailure) << "no box for a mismatch that is mended";
        return TRUE;
    });
}

TEST_F(DownloadRoad, VerifiedImageInPlaceIsHandedOver)
{
    SetXpSource(L"http://a/xp", {}, 0, kSha);
    RunDialog(dlg, [&](CMainDlg& d) {
        std::wstring path = PlaceImage(d, "right");
        EXPECT_TRUE(d.BeginImageTask());
        engine.lStatus = DL_STATUS_VERIFYING;
        engine.ullTotal = 5;
        engine.ullVerified = 4;
        PollDownload(d);
        EXPECT_EQ(L"{&#font=3}{&#color=0x484848}正在校验系统镜像… 80%{&#/color}{&#/font}", d.m_wndDetail.m_strText);
        engine.lStatus = DL_STATUS_FINISHED;
        PollDownload(d);
        EXPECT_TRUE(d.m_bHandedOff);
        EXPECT_EQ(2, d.m_imgSteps.m_nFrame);
        EXPECT_TRUE(::PathFileExistsW(path.c_str()));
        return TRUE;
    });
}

TEST_F(DownloadRoad, ImageInPlaceWithoutHashMustHaveTheCatalogueSize)
{
    {
        SetXpSource(L"http://a/xp", {}, 6, L"");
        RunDialog(dlg, [&](CMainDlg& d) {
            std::wstring path = PlaceImage(d, "short");
            EXPECT_TRUE(d.BeginImageTask());
            EXPECT_FALSE(::PathFileExistsW(path.c_str())) << "a file of another size is no image";
            EXPECT_EQ(1, engine.nCreated);
            EXPECT_EQ(0, engine.nVerifies);
            return TRUE;
        });
    }
    {
        SetXpSource(L"http://a/xp", {}, 5, L"");
        CMainDlg dlg2;
        RunDialog(dlg2, [&](CMainDlg& d) {
            PlaceImage(d, "right");
            EXPECT_TRUE(d.BeginImageTask());
            EXPECT_TRUE(d.m_bImageReady) << "the size matches: ready at once, as before";
            EXPECT_EQ(1, engine.nCreated);
            return TRUE;
        });
    }
}

TEST_F(DownloadRoad, DownloadedImageIsCheckedAgainWhileHeldThenHandedOver)
{
    SetXpSource(L"http://a/xp", {}, 0, kSha);
    RunDialog(dlg, [&](CMainDlg& d) {
        std::wstring path = PlaceImage(d, "");
        EXPECT_TRUE(d.BeginImageTask());
        EXPECT_EQ(1, engine.nCreated);
        EXPECT_EQ(kSha, engine.strSha256);

        // The engine wrote and matched the image; it is checked again, held, before the hand-off.
        EXPECT_TRUE(WriteBytes(path, "image"));
        engine.lStatus = DL_STATUS_FINISHED;
        PollDownload(d);
        EXPECT_EQ(1, engine.nVerifies);
        EXPECT_EQ(path, engine.strVerifyPath);
        EXPECT_FALSE(d.m_bHandedOff);
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 NULL, OPEN_EXISTING, 0, NULL);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h) << "the image can be written while it is checked";
        EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, ::GetLastError());
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);

        PollDownload(d);
        EXPECT_TRUE(d.m_bHandedOff);
        EXPECT_EQ(1, engine.nVerifies);
        return TRUE;
    });
}

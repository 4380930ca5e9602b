// The main dialog as start-up runs it: window geometry and look, the 23 elements, pages,
// the system choice and checkbox hit tests, hiding and restoring, the probe message, the
// tray icon record and double click, and the health notice read from the registry.
#include <gtest/gtest.h>
#include <windowsx.h>
#include <shlwapi.h>
#include "InstallTestSupport.h"
#include "MessagePump.h"
#include "MessageRecorder.h"
#include "startup/Catalogue.h"
#include "install/BuildTime.h"
#include "install/HealthNotice.h"
#include "install/TimeUtil.h"
#include "som/SomSkin.h"

static void ExpectAt(const CSomWnd& wnd, int x, int y, int cx, int cy, const char* name)
{
    EXPECT_EQ(x, wnd.m_rcWnd.left) << name;
    EXPECT_EQ(y, wnd.m_rcWnd.top) << name;
    EXPECT_EQ(cx, wnd.GetWidth()) << name;
    EXPECT_EQ(cy, wnd.GetHeight()) << name;
}

TEST(MainDlgWindow, BorderlessTranslucentRoundedCentredAndTitled)
{
    FakeEngine engine;
    CMainDlg dlg;
    INT_PTR nRet = RunDialog(dlg, [](CMainDlg& d) {
        HWND hWnd = d.m_hWnd;
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        EXPECT_EQ(850, rc.right);
        EXPECT_EQ(539, rc.bottom);
        LONG style = ::GetWindowLongW(hWnd, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & WS_CAPTION);
        EXPECT_TRUE(::GetWindowLongW(hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        BYTE alpha = 0;
        DWORD dwFlags = 0;
        EXPECT_TRUE(::GetLayeredWindowAttributes(hWnd, NULL, &alpha, &dwFlags));
        EXPECT_EQ(240, alpha);
        EXPECT_TRUE(dwFlags & LWA_ALPHA);

        WCHAR szTitle[64];
        ::GetWindowTextW(hWnd, szTitle, 64);
        EXPECT_STREQ(L"Vantoir", szTitle);

        HRGN hRgn = ::CreateRectRgn(0, 0, 0, 0);
        EXPECT_NE(ERROR, ::GetWindowRgn(hWnd, hRgn));
        EXPECT_FALSE(::PtInRegion(hRgn, 0, 0)) << "corner cut by the 9x9 rounding";
        EXPECT_FALSE(::PtInRegion(hRgn, 849, 538));
        EXPECT_TRUE(::PtInRegion(hRgn, 5, 0));
        EXPECT_TRUE(::PtInRegion(hRgn, 425, 270));
        ::DeleteObject(hRgn);

        RECT rcWnd, rcWork;
        ::GetWindowRect(hWnd, &rcWnd);
        MONITORINFO mi = { sizeof(mi) };
        ::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &mi);
        rcWork = mi.rcWork;
        EXPECT_EQ(rcWork.left + (rcWork.right - rcWork.left - 850) / 2, rcWnd.left);
        EXPECT_EQ(rcWork.top + (rcWork.bottom - rcWork.top - 539) / 2, rcWnd.top);

        EXPECT_EQ(1, ::SendMessageW(hWnd, WM_PROBE, 0, 0));
        return TRUE;
    });
    EXPECT_EQ(kTestEndCode, nRet);
}

TEST(MainDlgWindow, BackgroundIsTheSkinWithADarkRoundedOutline)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        HDC hdcScreen = ::GetDC(NULL);
        HDC hdc = ::CreateCompatibleDC(hdcScreen);
        HBITMAP hbm = ::CreateCompatibleBitmap(hdcScreen, 850, 539);
        HGDIOBJ hOld = ::SelectObject(hdc, hbm);
        RECT rcAll = { 0, 0, 850, 539 };
        ::FillRect(hdc, &rcAll, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        d.DrawBackground(hdc, NULL);

        HDC hdcSkin = ::CreateCompatibleDC(hdcScreen);
        HBITMAP hbmSkin = ::CreateCompatibleBitmap(hdcScreen, 850, 539);
        HGDIOBJ hOldSkin = ::SelectObject(hdcSkin, hbmSkin);
        ::FillRect(hdcSkin, &rcAll, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        g_skin.m_bmpMainBk.Draw(hdcSkin, 0, 0, 0);

        EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(hdc, 425, 0)) << "outline along the top edge";
        EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(hdc, 0, 270)) << "outline along the left edge";
        EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(hdc, 848, 270)) << "outline one pixel in on the right";
        EXPECT_EQ(::GetPixel(hdcSkin, 425, 270), ::GetPixel(hdc, 425, 270)) << "skin inside";
        EXPECT_EQ(::GetPixel(hdcSkin, 100, 100), ::GetPixel(hdc, 100, 100));
        EXPECT_EQ(::GetPixel(hdcSkin, 849, 270), ::GetPixel(hdc, 849, 270)) << "last column is skin";

        ::SelectObject(hdcSkin, hOldSkin);
        ::DeleteObject(hbmSkin);
        ::DeleteDC(hdcSkin);
        ::SelectObject(hdc, hOld);
        ::DeleteObject(hbm);
        ::DeleteDC(hdc);
        ::ReleaseDC(NULL, hdcScreen);
        return TRUE;
    });
}

TEST(MainDlgLayout, ElementsInStackingOrderWithTheirPlacesPicturesAndFlags)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        const CSomWnd* aExpected[] = {
            &d.m_wndTitle,      &d.m_btnMin,        &d.m_btnMax,       &d.m_btnClose,   &d.m_wndSiteLink,
            &d.m_wndBuildTime,  &d.m_wndHealth,     &d.m_imgXp,        &d.m_imgWin7,    &d.m_wndXpLabel,
            &d.m_wndWin7Label,  &d.m_imgXpRadio,    &d.m_imgWin7Radio, &d.m_btnInstall, &d.m_imgCheck,
            &d.m_wndCheckLabel, &d.m_imgSlogan,     &d.m_imgSteps,     &d.m_progress,   &d.m_wndSpeed,
            &d.m_wndStatus,     &d.m_wndMinInstall, &d.m_wndDetail,
        };
        EXPECT_EQ(23u, d.m_aWnds.size());
        for (size_t i = 0; i < 23 && i < d.m_aWnds.size(); ++i)
            EXPECT_EQ(aExpected[i], d.m_aWnds[i]) << "row " << i + 1;

        ExpectAt(d.m_btnMin, 741, 1, 34, 17, "minimise");
        ExpectAt(d.m_btnMax, 775, 1, 34, 17, "maximise");
        ExpectAt(d.m_btnClose, 809, 1, 40, 17, "close");
        ExpectAt(d.m_imgXp, 116, 250, 122, 95, "XP picture");
        ExpectAt(d.m_imgWin7, 455, 250, 122, 95, "Win7 picture");
        ExpectAt(d.m_imgXpRadio, 255, 300, 16, 18, "XP radio");
        ExpectAt(d.m_imgWin7Radio, 595, 300, 16, 18, "Win7 radio");
        ExpectAt(d.m_btnInstall, 332, 380, 184, 77, "install");
        ExpectAt(d.m_imgCheck, 350, 460, 15, 16, "checkbox");
        ExpectAt(d.m_imgSlogan, 186, 500, 470, 15, "slogan");
        ExpectAt(d.m_imgSteps, 20, 182, 443, 33, "steps");
        ExpectAt(d.m_progress, 214, 317, 412, 20, "progress");

        struct
        {
            const CSomTextWnd* p;
            int x, y;
            const wchar_t* text;
        } texts[] = {
            { &d.m_wndTitle, 15, 5, L"{&#font=6}{&#color=0xffffff}Korvane一键装机{&#/color}{&#/font}" },
            { &d.m_wndSiteLink, 750, 145, NULL },
            { &d.m_wndBuildTime, 5, 519, NULL },
            { &d.m_wndXpLabel, 292, 300,
              L"{&#font=6}{&#color=0x484848}WinXP{&#/color}（{&#color=0x0080ff}推荐{&#/color}）{&#/font}" },
            { &d.m_wndWin7Label, 625, 300, L"{&#font=6}{&#color=0x484848}Win7旗舰版{&#/color}{&#/font}" },
            { &d.m_wndCheckLabel, 370, 460, L"设置安全上网主页" },
            { &d.m_wndSpeed, 634, 317, L"" },
            { &d.m_wndStatus, 214, 340, L"{&#font=5}{&#color=0x484848}WinXP 极速{&#/color}{&#/font}" },
            { &d.m_wndMinInstall, 750, 500,
              L"{&#font=6}{&#color=0x00888888}{&#a=button:0x0401}最小化安装{&#/a}{&#/color}{&#/font}" },
        };
        for (auto& t : texts) {
            EXPECT_EQ(t.x, t.p->m_rcWnd.left);
            EXPECT_EQ(t.y, t.p->m_rcWnd.top);
            if (t.text) {
                EXPECT_EQ(std::wstring(t.text), t.p->m_strText);
            }
        }
        // The link text takes the size of its text, not the 100 x 40 it was created with.
        EXPECT_NE(100, d.m_wndMinInstall.GetWidth());
        EXPECT_GT(d.m_wndMinInstall.GetWidth(), 0);

        std::wstring site = d.m_wndSiteLink.m_strText;
        EXPECT_EQ(0u, site.find(L"{&#font=6}{&#a=\"http"));
        EXPECT_NE(std::wstring::npos, site.find(L"\"}关注网站{&#/a}{&#/font}"));
        EXPECT_EQ(RGB(255, 255, 255), d.m_wndSiteLink.m_crLink);
        EXPECT_EQ(RGB(0, 0, 0), d.m_wndSiteLink.m_crLinkHover);

        WCHAR szBuild[256];
        FormatBuildTimeLine(szBuild, 256, GetProgramLinkTime());
        EXPECT_EQ(std::wstring(szBuild), d.m_wndBuildTime.m_strText);

        EXPECT_EQ((UINT)IDC_BTN_MIN, d.m_btnMin.m_nID);
        EXPECT_EQ((UINT)IDC_BTN_CLOSE, d.m_btnClose.m_nID);
        EXPECT_EQ((UINT)IDC_BTN_INSTALL, d.m_btnInstall.m_nID);
        EXPECT_FALSE(d.m_btnMax.IsEnabled());
        EXPECT_EQ(3, d.m_btnMax.GetStateFrame());
        for (CSomWnd* p : d.m_aWnds) {
            if (p != &d.m_btnMax) {
                EXPECT_TRUE(p->IsEnabled());
            }
            EXPECT_TRUE(p->m_dwFlags & SWF_AUTOSIZE);
        }
        EXPECT_EQ(&g_skin.m_bmpXpLogo, d.m_imgXp.m_pBitmap);
        EXPECT_EQ(&g_skin.m_bmpWin7Logo, d.m_imgWin7.m_pBitmap);
        EXPECT_EQ(&g_skin.m_bmpStartBtn, d.m_btnInstall.m_pBkBitmap);
        EXPECT_EQ(&g_skin.m_bmpProgress, d.m_progress.m_pBitmap);
        EXPECT_EQ(0, d.m_progress.m_nPercent);
        EXPECT_EQ(0, d.m_imgSteps.m_nFrame);
        EXPECT_EQ(1, d.m_imgCheck.m_nFrame);
        EXPECT_TRUE(d.m_bStartPageOption);
        return TRUE;
    });
}

TEST(MainDlgPages, ChoicePageAtStartDownloadPageAfterSwitch)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        const CSomWnd* aAlways[] = { &d.m_wndTitle, &d.m_btnMin,      &d.m_btnMax,
                                     &d.m_btnClose, &d.m_wndSiteLink, &d.m_wndBuildTime };
        const CSomWnd* aChoice[] = { &d.m_wndHealth,    &d.m_imgXp,     &d.m_imgWin7,      &d.m_wndXpLabel,
                                     &d.m_wndWin7Label, &d.m_imgSlogan, &d.m_btnInstall,   &d.m_imgXpRadio,
                                     &d.m_imgWin7Radio, &d.m_imgCheck,  &d.m_wndCheckLabel };
        const CSomWnd* aDownload[] = { &d.m_imgSteps,  &d.m_progress,      &d.m_wndSpeed,
                                       &d.m_wndStatus, &d.m_wndMinInstall, &d.m_wndDetail };
        // Each group's elements all shown or all hidden, as the page wants them.
        auto expectPage = [&](bool bAlways, bool bChoice, bool bDownload) {
            for (auto p : aAlways)
                EXPECT_EQ(bAlways, p->IsVisible() != FALSE) << "page " << d.m_nPage;
            for (auto p : aChoice)
                EXPECT_EQ(bChoice, p->IsVisible() != FALSE) << "page " << d.m_nPage;
            for (auto p : aDownload)
                EXPECT_EQ(bDownload, p->IsVisible() != FALSE) << "page " << d.m_nPage;
        };
        EXPECT_EQ(PAGE_CHOICE, d.m_nPage);
        expectPage(true, true, false);

        d.SetPage(PAGE_DOWNLOAD);
        EXPECT_EQ(PAGE_DOWNLOAD, d.m_nPage);
        expectPage(true, false, true);

        d.SetPage(5);
        expectPage(true, false, false);
        return TRUE;
    });
}

TEST(MainDlgChoice, SetChoiceSwitchesRadiosAndAddress)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        EXPECT_EQ(IMAGE_KIND_XP, d.m_nImageKind);
        EXPECT_EQ(g_szXPUrl, d.m_pszImageUrl);
        EXPECT_EQ(0, d.m_imgXpRadio.m_nFrame);
        EXPECT_EQ(1, d.m_imgWin7Radio.m_nFrame);
        EXPECT_EQ(&g_skin.m_bmpRadio, d.m_imgXpRadio.m_pBitmap);

        EXPECT_TRUE(d.SetChoice(IMAGE_KIND_WIN7));
        EXPECT_EQ(g_szWin7Url, d.m_pszImageUrl);
        EXPECT_EQ(1, d.m_imgXpRadio.m_nFrame);
        EXPECT_EQ(0, d.m_imgWin7Radio.m_nFrame);

        EXPECT_FALSE(d.SetChoice(IMAGE_KIND_WIN7_X64));
        EXPECT_EQ(IMAGE_KIND_WIN7_X64, d.m_nImageKind);
        EXPECT_EQ(g_szWin7Url, d.m_pszImageUrl) << "radios and address unchanged";
        EXPECT_EQ(0, d.m_imgWin7Radio.m_nFrame);
        return TRUE;
    });
}

// Presses the dialog's client point; returns whether the press was passed on as a
// caption drag from that point in screen coordinates (the posted WM_NCLBUTTONDOWN is taken
// out of the queue again).
static BOOL Press(CMainDlg& d, int x, int y)
{
    LPARAM lParam = MAKELPARAM(x, y);
    ::SendMessageW(d.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, lParam);
    MSG msg;
    BOOL bDrag = ::PeekMessageW(&msg, d.m_hWnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE);
    if (bDrag) {
        POINT pt = { x, y };
        ::ClientToScreen(d.m_hWnd, &pt);
        EXPECT_EQ((WPARAM)HTCAPTION, msg.wParam);
        EXPECT_EQ(MAKELPARAM(pt.x, pt.y), msg.lParam);
    }
    ::SendMessageW(d.m_hWnd, WM_LBUTTONUP, 0, lParam);
    return bDrag;
}

static POINT Inside(const CSomWnd& wnd)
{
    POINT pt = { wnd.m_rcWnd.left + 3, wnd.m_rcWnd.top + 3 };
    return pt;
}

TEST(MainDlgChoice, PressesOnPicturesLabelsAndRadiosChooseAndDrag)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        const CSomWnd* aWin7[] = { &d.m_imgWin7, &d.m_wndWin7Label, &d.m_imgWin7Radio };
        const CSomWnd* aXp[] = { &d.m_imgXp, &d.m_wndXpLabel, &d.m_imgXpRadio };
        for (int i = 0; i < 3; ++i) {
            POINT pt = Inside(*aWin7[i]);
            EXPECT_TRUE(Press(d, pt.x, pt.y));
            EXPECT_EQ(IMAGE_KIND_WIN7, d.m_nImageKind) << i;
            EXPECT_EQ(0, d.m_imgWin7Radio.m_nFrame);
            pt = Inside(*aXp[i]);
            EXPECT_TRUE(Press(d, pt.x, pt.y));
            EXPECT_EQ(IMAGE_KIND_XP, d.m_nImageKind) << i;
            EXPECT_EQ(0, d.m_imgXpRadio.m_nFrame);
            EXPECT_EQ(g_szXPUrl, d.m_pszImageUrl);
        }
        // Just outside the XP radio (right edge excluded): nothing chosen.
        d.SetChoice(IMAGE_KIND_WIN7);
        EXPECT_TRUE(Press(d, d.m_imgXpRadio.m_rcWnd.right, d.m_imgXpRadio.m_rcWnd.top + 2));
        EXPECT_EQ(IMAGE_KIND_WIN7, d.m_nImageKind);

        POINT pt = Inside(d.m_imgCheck);
        EXPECT_TRUE(Press(d, pt.x, pt.y));
        EXPECT_FALSE(d.m_bStartPageOption);
        EXPECT_EQ(0, d.m_imgCheck.m_nFrame);
        pt = Inside(d.m_wndCheckLabel);
        EXPECT_TRUE(Press(d, pt.x, pt.y));
        EXPECT_TRUE(d.m_bStartPageOption);
        EXPECT_EQ(1, d.m_imgCheck.m_nFrame);

        EXPECT_TRUE(Press(d, 60, 420)) << "empty background drags";
        EXPECT_TRUE(Press(d, 780, 5)) << "the disabled maximise button takes no press";
        EXPECT_EQ(IMAGE_KIND_WIN7, d.m_nImageKind);
        EXPECT_TRUE(d.m_bStartPageOption);
        return TRUE;
    });
}

// The real pointer, moved by SetCursorPos (Wine queues the move) and pressed by SendInput,
// from a thread of its own while the dialog's thread runs the drag.
struct PointerDrag
{
    POINT ptFrom;  // screen coordinates
    int dx;
    int dy;
};

static DWORD WINAPI RunPointerDrag(LPVOID pv)
{
    const PointerDrag* p = (const PointerDrag*)pv;
    INPUT in;
    ZeroMemory(&in, sizeof(in));
    in.type = INPUT_MOUSE;
    ::SetCursorPos(p->ptFrom.x, p->ptFrom.y);
    ::Sleep(200);
    in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(300);
    for (int i = 1; i <= 10; ++i) {
        ::SetCursorPos(p->ptFrom.x + p->dx * i / 10, p->ptFrom.y + p->dy * i / 10);
        ::Sleep(50);
    }
    ::Sleep(200);
    in.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(300);
    return 0;
}

TEST(MainDlgDrag, BackgroundPressFarFromTheScreenOriginMovesTheWindowWithThePointer)
{
    FakeEngine engine;
    CMainDlg dlg;
    CMessageRecorder drags(&dlg.m_hWnd, FALSE);
    POINT ptSaved;
    ::GetCursorPos(&ptSaved);
    RunDialog(dlg, [&](CMainDlg& d) {
        // Far from the screen origin: client and screen points differ by hundreds of pixels.
        ::SetWindowPos(d.m_hWnd, NULL, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::SetForegroundWindow(d.m_hWnd);
        RECT rcBefore;
        ::GetWindowRect(d.m_hWnd, &rcBefore);
        POINT ptClient = { 60, 420 };  // background: no element there
        PointerDrag drag = { ptClient, -120, -90 };
        ::ClientToScreen(d.m_hWnd, &drag.ptFrom);
        HANDLE hThread = ::CreateThread(NULL, 0, RunPointerDrag, &drag, 0, NULL);
        EXPECT_TRUE(PumpUntil([&]() { return ::WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; }, 15000));
        ::CloseHandle(hThread);

        RECT rcAfter;
        ::GetWindowRect(d.m_hWnd, &rcAfter);
        EXPECT_EQ(rcBefore.left + drag.dx, rcAfter.left);
        EXPECT_EQ(rcBefore.top + drag.dy, rcAfter.top);
        EXPECT_EQ(1u, drags.m_drags.size());
        if (!drags.m_drags.empty()) {
            EXPECT_EQ((WPARAM)HTCAPTION, drags.m_drags[0].first);
            EXPECT_EQ(MAKELPARAM(drag.ptFrom.x, drag.ptFrom.y), drags.m_drags[0].second)
                << "the drag starts at the press's screen point";
        }
        return TRUE;
    });
    ::SetCursorPos(ptSaved.x, ptSaved.y);
}

TEST(MainDlgChoice, ButtonsAndLinksTakeThePressNoDrag)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        POINT pt = Inside(d.m_btnInstall);
        EXPECT_FALSE(Press(d, pt.x, pt.y));
        pt = Inside(d.m_btnClose);
        EXPECT_FALSE(Press(d, pt.x, pt.y));
        pt = Inside(d.m_btnMin);
        EXPECT_FALSE(Press(d, pt.x, pt.y));
        pt = Inside(d.m_wndSiteLink);
        EXPECT_FALSE(Press(d, pt.x + 5, pt.y + 3));
        return TRUE;
    });
}

TEST(MainDlgChoice, OldChoiceAreasAreInertOnTheDownloadPage)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        d.SetPage(PAGE_DOWNLOAD);
        POINT aPts[] = { Inside(d.m_imgWin7), Inside(d.m_wndWin7Label), Inside(d.m_imgWin7Radio), Inside(d.m_imgCheck),
                         Inside(d.m_wndCheckLabel) };
        for (POINT pt : aPts)
            EXPECT_TRUE(Press(d, pt.x, pt.y)) << "still drags";
        EXPECT_EQ(IMAGE_KIND_XP, d.m_nImageKind);
        EXPECT_EQ(0, d.m_imgXpRadio.m_nFrame);
        EXPECT_TRUE(d.m_bStartPageOption);
        return TRUE;
    });
}

TEST(MainDlgHide, CloseMinimiseAndMinimisedInstallOnlyHide)
{
    FakeEngine engine;
    CMainDlg dlg;
    INT_PTR nRet = RunDialog(dlg, [&engine](CMainDlg& d) {
        HWND hWnd = d.m_hWnd;
        EXPECT_TRUE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_CLOSE, 0, 0);
        EXPECT_FALSE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
        EXPECT_TRUE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, IDC_BTN_MIN, 0);
        EXPECT_FALSE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(ID_TRAY_RESTORE, 1), 0);
        EXPECT_TRUE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, IDC_BTN_CLOSE, (LPARAM)&d.m_btnClose);
        EXPECT_FALSE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
        ::SendMessageW(hWnd, WM_COMMAND, ID_MIN_INSTALL, (LPARAM)&d.m_wndMinInstall);
        EXPECT_FALSE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, WM_COMMAND, ID_TRAY_RESTORE, 0);
        // The disabled maximise button's command and a dismissed menu's 0 change nothing.
        ::SendMessageW(hWnd, WM_COMMAND, IDC_BTN_MAX, 0);
        ::SendMessageW(hWnd, WM_COMMAND, 0, 0);
        EXPECT_TRUE(::IsWindowVisible(hWnd));
        EXPECT_TRUE(::IsWindow(hWnd));
        // Exit before any download: no task to stop.
        ::SendMessageW(hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        EXPECT_EQ(0, engine.nStops);
        return FALSE;
    });
    EXPECT_EQ(0, nRet);
}

TEST(MainDlgTray, IconRecordAndDoubleClickToggle)
{
    FakeEngine engine;
    CMainDlg dlg;
    RunDialog(dlg, [](CMainDlg& d) {
        EXPECT_EQ(::RegisterWindowMessageW(L"WM_TRAYICON"), d.m_uTrayMsg);
        EXPECT_EQ(952u, d.m_nid.cbSize);
        EXPECT_EQ(d.m_hWnd, d.m_nid.hWnd);
        EXPECT_EQ(0u, d.m_nid.uID);
        EXPECT_EQ(d.m_uTrayMsg, d.m_nid.uCallbackMessage);
        EXPECT_TRUE(d.m_nid.hIcon != NULL);
        EXPECT_EQ((UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO), d.m_nid.uFlags);
        EXPECT_STREQ(L"Korvane一键装机", d.m_nid.szTip);
        EXPECT_STREQ(L"我在这里哟", d.m_nid.szInfo);
        EXPECT_STREQ(L"Korvane一键装机", d.m_nid.szInfoTitle);
        EXPECT_EQ(0u, d.m_nid.dwInfoFlags);
        EXPECT_TRUE(d.m_bTrayAdded) << "Wine's notification area takes the icon";
        EXPECT_FALSE(d.AddTrayIcon(d.m_nid.hIcon, L"x", NULL, NULL, 0)) << "added once only";
        EXPECT_STREQ(L"Korvane一键装机", d.m_nid.szTip);

        HWND hWnd = d.m_hWnd;
        EXPECT_EQ(0, ::SendMessageW(hWnd, d.m_uTrayMsg, 0, WM_LBUTTONDBLCLK));
        EXPECT_FALSE(::IsWindowVisible(hWnd));
        ::SendMessageW(hWnd, d.m_uTrayMsg, 1, WM_LBUTTONDBLCLK);
        EXPECT_FALSE(::IsWindowVisible(hWnd)) << "another icon id is ignored";
        ::SendMessageW(hWnd, d.m_uTrayMsg, 0, WM_LBUTTONUP);
        ::SendMessageW(hWnd, d.m_uTrayMsg, 0, WM_MOUSEMOVE);
        EXPECT_FALSE(::IsWindowVisible(hWnd)) << "single clicks and moves are ignored";
        ::SendMessageW(hWnd, d.m_uTrayMsg, 0, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(::IsWindowVisible(hWnd));
        ::ShowWindow(hWnd, SW_MINIMIZE);
        ::SendMessageW(hWnd, d.m_uTrayMsg, 0, WM_LBUTTONDBLCLK);
        EXPECT_FALSE(::IsIconic(hWnd));
        EXPECT_TRUE(::IsWindowVisible(hWnd));

        EXPECT_TRUE(d.RemoveTrayIcon());
        EXPECT_FALSE(d.m_bTrayAdded);
        EXPECT_TRUE(d.RemoveTrayIcon()) << "nothing left to remove";
        return TRUE;
    });
}

TEST(TrayMenuPosition, ClampToWorkAreaCorrectsOnlyXOffEveryMonitor)
{
    MONITORINFO mi = { sizeof(mi) };
    POINT pt0 = { 0, 0 };
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(pt0, MONITOR_DEFAULTTOPRIMARY), &mi));
    const RECT& rcMon = mi.rcMonitor;
    const RECT& rcWork = mi.rcWork;
    typedef CTrayIconImpl<CMainDlg> Tray;
    EXPECT_EQ(100, Tray::ClampToWorkArea(100, 100)) << "on the monitor: unchanged";
    EXPECT_EQ(rcMon.right - 1, Tray::ClampToWorkArea(rcMon.right - 1, rcMon.bottom - 1));
    EXPECT_EQ(rcWork.left, Tray::ClampToWorkArea(rcMon.left - 500, 100));
    EXPECT_EQ(rcWork.right, Tray::ClampToWorkArea(rcMon.right + 500, 100));
    EXPECT_EQ(rcWork.right, Tray::ClampToWorkArea(rcMon.right + 500, rcMon.bottom + 700));
    EXPECT_EQ(200, Tray::ClampToWorkArea(200, rcMon.bottom + 700)) << "y is never corrected";
}

// Runs a dialog with the given InstallDate arranged and returns the notice text.
static std::wstring NoticeWith(const std::function<void(InstallDateGuard&)>& arrange, int* pnX = NULL)
{
    InstallDateGuard guard;
    arrange(guard);
    FakeEngine engine;
    CMainDlg dlg;
    std::wstring text;
    RunDialog(dlg, [&](CMainDlg& d) {
        text = d.m_wndHealth.m_strText;
        EXPECT_EQ(200, d.m_wndHealth.m_rcWnd.top);
        EXPECT_EQ((850 - d.m_wndHealth.GetWidth()) / 2, d.m_wndHealth.m_rcWnd.left) << "centred";
        if (pnX)
            *pnX = d.m_wndHealth.m_rcWnd.left;
        return TRUE;
    });
    return text;
}

static std::wstring OldNotice(DWORD dwDays)
{
    WCHAR sz[2048];
    wnsprintfW(sz, 2048,
               L"{&#font=6}{&#color=0x484848}系统体检，你的操作系统安装已经超过%u天，性能正在下降，建议立即更新系统。{&"
               L"#/color}{&#/font}",
               dwDays);
    return sz;
}

static const wchar_t kJunkNotice[] =
    L"{&#font=6}{&#color=0x484848}系统体检，你的操作系统存在较多垃圾，性能正在下降，建议立即更新系统。{&#/color}{&#/"
    L"font}";

TEST(HealthNotice, InstalledNinetyOneDaysAgoShowsTheAge)
{
    std::wstring text = NoticeWith([](InstallDateGuard& g) { g.Set(GetUnixTimeNow() - 91 * 86400); });
    EXPECT_EQ(OldNotice(91), text);
}

TEST(HealthNotice, ExactlyNinetyDaysShowsTheJunkText)
{
    std::wstring text = NoticeWith([](InstallDateGuard& g) { g.Set(GetUnixTimeNow() - 90 * 86400); });
    EXPECT_EQ(std::wstring(kJunkNotice), text);
    EXPECT_EQ(90u, GetInstallAgeDays(1000000, 1000000 + 90 * 86400 + 86399));
}

TEST(HealthNotice, MissingOrWrongTypeCountsFrom1970)
{
    DWORD dwBefore = GetUnixTimeNow() / 86400;
    std::wstring missing = NoticeWith([](InstallDateGuard& g) { g.Remove(); });
    std::wstring wrongType = NoticeWith([](InstallDateGuard& g) { g.SetString(L"1600000000"); });
    DWORD dwAfter = GetUnixTimeNow() / 86400;
    EXPECT_TRUE(missing == OldNotice(dwBefore) || missing == OldNotice(dwAfter));
    EXPECT_EQ(missing, wrongType);
}

TEST(HealthNotice, RegistryValueIsReadAsIs)
{
    InstallDateGuard guard;
    guard.Set(1234567890);
    EXPECT_EQ(1234567890u, GetInstallDate());
    guard.Remove();
    EXPECT_EQ(0u, GetInstallDate());
}

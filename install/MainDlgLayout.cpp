// The main dialog's elements: where each one sits, what it shows and its flags. Rows are
// created in stacking order (the first created is on top). Coordinates are client pixels.
#include "MainDlg.h"
#include <shlwapi.h>
#include "som/SomSkin.h"
#include "startup/KorvaneConfig.h"
#include "BuildTime.h"
#include "HealthNotice.h"
#include "TimeUtil.h"

static const DWORD kFlags = SWF_VISIBLE | SWF_AUTOSIZE | SWF_TRANSPARENT;  // 11
static const DWORD kFlagsDisabled = kFlags | SWF_DISABLED;                 // 15

void CMainDlg::CreateElements(int cxWnd, int cyWnd)
{
    m_wndTitle.Create(this, 15, 5, kFlags);
    m_wndTitle.SetText(L"{&#font=6}{&#color=0xffffff}Korvane一键装机{&#/color}{&#/font}");

    // Title-bar buttons sit flush with the right edge, one pixel in, for any skin.
    int cxMin = g_skin.m_bmpBtnMin.GetFrameWidth();
    int cxMax = g_skin.m_bmpBtnMax.GetFrameWidth();
    int cxClose = g_skin.m_bmpBtnClose.GetFrameWidth();
    m_btnMin.Create(this, (UINT)IDC_BTN_MIN, kFlags);
    m_btnMin.SetPos(cxWnd - 1 - (cxClose + cxMax + cxMin), 1);
    m_btnMin.SetBkBitmap(&g_skin.m_bmpBtnMin);
    m_btnMax.Create(this, (UINT)IDC_BTN_MAX, kFlagsDisabled);
    m_btnMax.SetPos(cxWnd - 1 - (cxClose + cxMax), 1);
    m_btnMax.SetBkBitmap(&g_skin.m_bmpBtnMax);
    m_btnClose.Create(this, (UINT)IDC_BTN_CLOSE, kFlags);
    m_btnClose.SetPos(cxWnd - 1 - cxClose, 1);
    m_btnClose.SetBkBitmap(&g_skin.m_bmpBtnClose);

    WCHAR szSite[1024];
    ::wnsprintfW(szSite, ARRAYSIZE(szSite), L"{&#font=6}{&#a=\"%s\"}关注网站{&#/a}{&#/font}", KORVANE_SITE_URL);
    m_wndSiteLink.Create(this, 750, 145, kFlags);
    m_wndSiteLink.SetLinkColors(RGB(0xFF, 0xFF, 0xFF), RGB(0, 0, 0));
    m_wndSiteLink.SetText(szSite);

    m_wndBuildTime.Create(this, 5, cyWnd - 20, kFlags);
    SetBuildTimeText();

    m_wndHealth.Create(this, 100, 200, kFlags);
    ShowHealthNotice();

    m_imgXp.Create(this, 116, 250, kFlags);
    m_imgXp.SetImage(&g_skin.m_bmpXpLogo, 0);
    m_imgWin7.Create(this, 455, 250, kFlags);
    m_imgWin7.SetImage(&g_skin.m_bmpWin7Logo, 0);

    m_wndXpLabel.Create(this, 292, 300, kFlags);
    m_wndXpLabel.SetText(L"{&#font=6}{&#color=0x484848}WinXP{&#/color}（{&#color=0x0080ff}推荐{&#/color}）{&#/font}");
    m_wndWin7Label.Create(this, 625, 300, kFlags);
    m_wndWin7Label.SetText(L"{&#font=6}{&#color=0x484848}Win7旗舰版{&#/color}{&#/font}");

    // The radios get their frames from SetChoice below.
    m_imgXpRadio.Create(this, 255, 300, kFlags);
    m_imgWin7Radio.Create(this, 595, 300, kFlags);

    m_btnInstall.Create(this, 332, 380, (UINT)IDC_BTN_INSTALL, kFlags);
    m_btnInstall.SetBkBitmap(&g_skin.m_bmpStartBtn);

    m_bStartPageOption = TRUE;
    m_imgCheck.Create(this, 350, 460, kFlags);
    m_imgCheck.SetImage(&g_skin.m_bmpCheck, m_bStartPageOption ? 1 : 0);
    m_wndCheckLabel.Create(this, 370, 460, kFlags);
    m_wndCheckLabel.SetText(L"设置安全上网主页");

    m_imgSlogan.Create(this, 186, 500, kFlags);
    m_imgSlogan.SetImage(&g_skin.m_bmpSlogan, 0);
    SetChoice(IMAGE_KIND_XP);

    m_imgSteps.Create(this, 20, 182, kFlags);
    m_imgSteps.SetImage(&g_skin.m_bmpSteps, 0);

    m_progress.Create(this, 214, 317, 412, 20, kFlags);
    m_progress.SetBitmap(&g_skin.m_bmpProgress);
    m_progress.SetPercent(0);
    m_progress.Show(TRUE);

    m_wndSpeed.Create(this, 634, 317, kFlags);

    m_wndStatus.Create(this, 214, 340, kFlags);
    m_wndStatus.SetText(L"{&#font=5}{&#color=0x484848}WinXP 极速{&#/color}{&#/font}");

    m_wndMinInstall.Create(this, 750, 500, 100, 40, kFlags);
    m_wndMinInstall.SetText(L"{&#font=6}{&#color=0x00888888}{&#a=button:0x0401}最小化安装{&#/a}{&#/color}{&#/font}");

    // The detail line sits under the status line, aligned with the bar.
    m_wndDetail.Create(this, 214, 362, kFlags);
}

void CMainDlg::SetBuildTimeText()
{
    WCHAR szLine[256];
    FormatBuildTimeLine(szLine, ARRAYSIZE(szLine), GetProgramLinkTime());
    m_wndBuildTime.SetText(szLine);
}

BOOL CMainDlg::ShowHealthNotice()
{
    DWORD dwInstall = GetInstallDate();
    DWORD dwNow = GetUnixTimeNow();
    WCHAR szText[2048];
    FormatHealthNotice(szText, ARRAYSIZE(szText), dwInstall, dwNow);
    m_wndHealth.SetText(szText);

    // Centred horizontally; the top edge stays where the layout put it.
    RECT rcClient;
    ::GetClientRect(m_hWnd, &rcClient);
    int x = ((rcClient.right - rcClient.left) - m_wndHealth.GetWidth()) / 2;
    SetWndPos(&m_wndHealth, x, m_wndHealth.m_rcWnd.top);
    return TRUE;
}

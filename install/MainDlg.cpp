#include "MainDlg.h"
#include <windowsx.h>
#include "frame/ScopedSelectObject.h"
#include "frame/WindowUtil.h"
#include "startup/Catalogue.h"
#include "som/SomSkin.h"

static const DWORD kMainDlgStyle = WS_POPUP | WS_CLIPCHILDREN | DS_CENTER | DS_SETFONT;
static const BYTE kMainDlgOpacity = 240;

CMainDlg::CMainDlg()
    : m_lTaskId(0), m_dwLastTick(0), m_ullLastRecv(0), m_bImageReady(FALSE), m_nPage(0), m_nImageKind(0),
      m_pszImageUrl(NULL), m_bStartPageOption(TRUE), m_bTaskStarted(FALSE), m_bHandedOff(FALSE), m_pSource(&g_srcXP),
      m_bVerifyTask(FALSE), m_bImageChecked(FALSE), m_bFailedBefore(FALSE), m_lLastSpeed(0), m_nLastFailure(-1)
{
    m_szImagePath[0] = L'\0';
}

CMainDlg::~CMainDlg() { m_engine.Uninit(); }

void CMainDlg::InitTemplate() { m_Template.Create(kMainDlgStyle, WS_EX_LAYERED, 9, L"MS Shell Dlg"); }

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_pszImageUrl = NULL;
    int cx = g_skin.m_bmpMainBk.GetFrameWidth();
    int cy = g_skin.m_bmpMainBk.GetHeight();

    ::SetLayeredWindowAttributes(m_hWnd, 0, kMainDlgOpacity, LWA_ALPHA);

    RECT rc = { 0, 0, cx, cy };
    ::AdjustWindowRect(&rc, (DWORD)::GetWindowLongW(m_hWnd, GWL_STYLE), FALSE);
    ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    FrameCenterWindow(m_hWnd);
    // The window owns the region from here on.
    ::SetWindowRgn(m_hWnd, ::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, 9, 9), FALSE);

    ::SetWindowTextW(m_hWnd, L"Vantoir");

    HICON hIcon =
        (HICON)::LoadImageW(::GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_KORVANE), IMAGE_ICON,
                            ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    AddTrayIcon(hIcon, TRAY_TIP, L"我在这里哟", L"Korvane一键装机", 0);

    CreateElements(cx, cy);
    SetPage(PAGE_CHOICE);
    return TRUE;
}

void CMainDlg::DrawBackground(HDC hdc, const RECT*)
{
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    g_skin.m_bmpMainBk.Draw(hdc, 0, 0, 0);
    CScopedSelectObject brush(hdc, ::GetStockObject(NULL_BRUSH));
    ::RoundRect(hdc, rc.left, rc.top, rc.right - 1, rc.bottom - 1, 10, 10);
}

void CMainDlg::SetPage(int nPage)
{
    m_nPage = nPage;
    CSomWnd* const aChoice[] = {
        &m_wndHealth,  &m_imgXp,      &m_imgWin7,      &m_wndXpLabel, &m_wndWin7Label,  &m_imgSlogan,
        &m_btnInstall, &m_imgXpRadio, &m_imgWin7Radio, &m_imgCheck,   &m_wndCheckLabel,
    };
    CSomWnd* const aDownload[] = {
        &m_imgSteps, &m_progress, &m_wndSpeed, &m_wndStatus, &m_wndMinInstall, &m_wndDetail,
    };
    for (CSomWnd* p : aChoice)
        p->Show(FALSE);
    for (CSomWnd* p : aDownload)
        p->Show(FALSE);
    if (nPage == PAGE_CHOICE) {
        for (CSomWnd* p : aChoice)
            p->Show(TRUE);
    } else if (nPage == PAGE_DOWNLOAD) {
        for (CSomWnd* p : aDownload)
            p->Show(TRUE);
    }
}

BOOL CMainDlg::SetChoice(int nKind)
{
    m_nImageKind = nKind;
    if (nKind == IMAGE_KIND_XP) {
        m_imgXpRadio.SetImage(&g_skin.m_bmpRadio, 0);
        m_imgWin7Radio.SetImage(&g_skin.m_bmpRadio, 1);
        m_pszImageUrl = g_szXPUrl;
        m_pSource = &g_srcXP;
        return TRUE;
    }
    if (nKind == IMAGE_KIND_WIN7) {
        m_imgXpRadio.SetImage(&g_skin.m_bmpRadio, 1);
        m_imgWin7Radio.SetImage(&g_skin.m_bmpRadio, 0);
        m_pszImageUrl = g_szWin7Url;
        m_pSource = &g_srcWin7;
        return TRUE;
    }
    return FALSE;
}

static BOOL PtInElement(const CSomWnd& wnd, POINT pt) { return ::PtInRect(&wnd.m_rcWnd, pt); }

// Reached only by presses that no element consumed.
LRESULT CMainDlg::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    bHandled = FALSE;
    FrameDragFromPress(m_hWnd, lParam);

    if (m_nPage != PAGE_CHOICE)
        return 0;
    POINT pt = { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    if (PtInElement(m_imgXp, pt) || PtInElement(m_wndXpLabel, pt) || PtInElement(m_imgXpRadio, pt))
        SetChoice(IMAGE_KIND_XP);
    if (PtInElement(m_imgWin7, pt) || PtInElement(m_wndWin7Label, pt) || PtInElement(m_imgWin7Radio, pt))
        SetChoice(IMAGE_KIND_WIN7);
    if (PtInElement(m_imgCheck, pt) || PtInElement(m_wndCheckLabel, pt)) {
        m_bStartPageOption = !m_bStartPageOption;
        m_imgCheck.SetImage(&g_skin.m_bmpCheck, m_bStartPageOption ? 1 : 0);
    }
    return 0;
}

// Closing, minimising and the minimised install only hide the window: the download goes
// on, the tray icon stays.
LRESULT CMainDlg::OnHide(WORD, WORD, HWND, BOOL&)
{
    ::ShowWindow(m_hWnd, SW_HIDE);
    return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) { return OnHide(0, 0, NULL, bHandled); }

LRESULT CMainDlg::OnTrayRestore(WORD, WORD, HWND, BOOL&)
{
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    return 0;
}

LRESULT CMainDlg::OnTrayExit(WORD, WORD, HWND, BOOL&)
{
    ExitDialog();
    return 0;
}

void CMainDlg::ExitDialog()
{
    // The engine keeps its work files, so a later run resumes the download.
    if (m_bTaskStarted)
        m_engine.StopTask(m_lTaskId);
    EndDialog(0);
}

LRESULT CMainDlg::OnProbe(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

// CDlgMsgBox: lays out its title, lines and close button while it initialises, paints
// its surface from the main skin picture, and ends only through the close button.
#include "DlgMsgBox.h"
#include <stdarg.h>
#include <shlwapi.h>
#include "frame/WindowUtil.h"
#include "som/SomSkin.h"

namespace {

const DWORD kElementFlags = SWF_VISIBLE | SWF_AUTOSIZE | SWF_TRANSPARENT;  // 11
const int kTitleChars = 512;
const int kLineChars = 1024;
const LPCWSTR kTitleFormat = L"{&#font=6}{&#color=0x252525}%s{&#/color}{&#/font}";
const LPCWSTR kLineFormat = L"{&#font=6}{&#color=0x484848}%s{&#/color}{&#/font}";
const int kSkinX = 10;       // both background copies read the main skin from this column
const int kSkinBodyY = 168;  // the row where the edge under the banner starts

int Clamp(int n, int nMax)
{
    if (nMax < 0)
        nMax = 0;
    return n < nMax ? n : nMax;
}

}  // namespace

CDlgMsgBox::CDlgMsgBox(LPCWSTR pszTitle, ...) : m_pszTitle(pszTitle), m_nLines(0), m_ppszLines(NULL), m_pLineWnds(NULL)
{
    va_list args;
    va_start(args, pszTitle);
    while (va_arg(args, LPCWSTR) != NULL)
        ++m_nLines;
    va_end(args);

    m_ppszLines = new LPCWSTR[m_nLines > 0 ? m_nLines : 1];
    m_pLineWnds = new CSomTextWnd[m_nLines > 0 ? m_nLines : 1];
    va_start(args, pszTitle);
    for (int i = 0; i < m_nLines; ++i)
        m_ppszLines[i] = va_arg(args, LPCWSTR);
    va_end(args);
}

CDlgMsgBox::~CDlgMsgBox()
{
    delete[] m_pLineWnds;
    delete[] m_ppszLines;
}

void CDlgMsgBox::InitTemplate() { m_Template.Create(WS_POPUP | WS_CLIPCHILDREN | DS_SETFONT, 0, 0, NULL); }

// The manager's element tick has nothing to do in the box.
LRESULT CDlgMsgBox::OnTimer(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

// Reached only by presses that no element took: they drag the box.
LRESULT CDlgMsgBox::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    FrameDragFromPress(CIndirectDialogImpl<CDlgMsgBox>::m_hWnd, lParam);
    bHandled = FALSE;
    return 0;
}

// Only the close button ends the box: IDOK and IDCANCEL (Enter, Esc, Alt+F4) do not.
LRESULT CDlgMsgBox::OnCloseButton(WORD, WORD, HWND, BOOL&)
{
    EndDialog(0);
    return 0;
}

LRESULT CDlgMsgBox::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    HWND hWnd = CIndirectDialogImpl<CDlgMsgBox>::m_hWnd;
    WCHAR szText[kLineChars];

    if (m_pszTitle != NULL) {
        ::wnsprintfW(szText, kTitleChars, kTitleFormat, m_pszTitle);
        m_wndTitle.Create(this, 15, 2, kElementFlags);
        m_wndTitle.SetText(szText);
    }

    int y = 0;
    int cxMax = 0;
    for (int i = 0; i < m_nLines; ++i) {
        ::wnsprintfW(szText, kLineChars, kLineFormat, m_ppszLines[i]);
        CSomTextWnd& wnd = m_pLineWnds[i];
        wnd.Create(this, 50, y + 40, kElementFlags);
        wnd.SetText(szText);
        if (wnd.GetWidth() > cxMax)
            cxMax = wnd.GetWidth();
        y += wnd.GetHeight() + 10;
    }

    const int cx = cxMax + 100;
    ::MoveWindow(hWnd, 0, 0, cx, y + 80, TRUE);
    FrameCenterWindow(hWnd);

    CSomBitmap* pClose = &g_skin.m_bmpBtnClose;
    m_btnClose.Create(this, cx - pClose->GetFrameWidth(), 1, (UINT)IDC_MSGBOX_CLOSE, kElementFlags);
    m_btnClose.SetBkBitmap(pClose);
    return TRUE;
}

void CDlgMsgBox::DrawBackground(HDC hdc, const RECT* prc)
{
    (void)prc;  // the whole surface is painted; the DC's clipping limits it
    RECT rc;
    ::GetClientRect(CIndirectDialogImpl<CDlgMsgBox>::m_hWnd, &rc);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    CSomBitmap& bk = g_skin.m_bmpMainBk;
    // An 18-pixel strip of the skin's top banner, then the skin from row 168 below it.
    // Copies are kept inside the picture: a source block reaching past its edge would
    // make the whole blit fail.
    const int cxSrc = Clamp(cx, bk.GetFrameWidth() - kSkinX);
    bk.DrawPart(hdc, 0, 0, cxSrc, Clamp(32, bk.GetHeight()), kSkinX, 0, 0);
    bk.DrawPart(hdc, 0, 18, cxSrc, Clamp(cy, bk.GetHeight() - kSkinBodyY), kSkinX, kSkinBodyY, 0);
    ::DrawEdge(hdc, &rc, BDR_RAISEDOUTER, BF_RECT);
}

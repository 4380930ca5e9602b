// CSomTextWnd: parsing and layout on every new text, per-run painting, link hover, press
// and activation. Hover and press changes repaint only the runs concerned (sub-parts).
#include "SomTextWnd.h"
#include <shellapi.h>
#include <stdlib.h>
#include "frame/ScopedSelectObject.h"
#include "som/SomSkin.h"
#include "som/SomWndManager.h"

namespace {

const COLORREF kDefaultLinkColor = 0x984E00;
const COLORREF kDefaultLinkHoverColor = 0xDA7003;

BOOL IsCommandLink(const std::wstring& strLink)
{
    static const WCHAR kPrefix[] = L"button:";
    if (strLink.size() < 7)
        return FALSE;
    for (int i = 0; i < 7; ++i) {
        WCHAR c = strLink[i];
        if (c >= L'A' && c <= L'Z')
            c = (WCHAR)(c - L'A' + L'a');
        if (c != kPrefix[i])
            return FALSE;
    }
    return TRUE;
}

// The number after "button:": hexadecimal after "0x", decimal otherwise; low 16 bits.
WORD CommandLinkId(const std::wstring& strLink)
{
    LPCWSTR p = strLink.c_str() + 7;
    long n;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X'))
        n = wcstol(p + 2, NULL, 16);
    else
        n = wcstol(p, NULL, 10);
    return (WORD)(n & 0xFFFF);
}

}  // namespace

CSomTextWnd::CSomTextWnd()
    : m_hFont(NULL), m_crText(0), m_crLink(kDefaultLinkColor), m_crLinkHover(kDefaultLinkHoverColor), m_nMaxWidth(-1),
      m_nHoverRun(-1), m_nPressedRun(-1)
{
    SetFont(g_skin.GetFont(3));
    SetTextColor(0x000000);
}

CSomTextWnd::~CSomTextWnd() {}

void CSomTextWnd::SetText(LPCWSTR pszMarkup)
{
    if (pszMarkup == NULL)
        pszMarkup = L"";
    if (m_strText == pszMarkup)
        return;

    // The release comes back as OnCaptureLost while the old runs are still in place.
    if (m_nPressedRun != -1 && m_pManager != NULL)
        m_pManager->ReleaseWndCapture(this);

    m_nHoverRun = -1;
    m_nPressedRun = -1;
    m_aRuns.clear();
    m_strText = pszMarkup;
    SomParseMarkup(m_strText.c_str(), &m_aRuns);
    RecalcLayout();
    Invalidate();
}

void CSomTextWnd::SetFont(HFONT hFont)
{
    m_hFont = hFont;
    RecalcLayout();
}

void CSomTextWnd::SetTextColor(COLORREF cr)
{
    if (cr == m_crText)
        return;
    m_crText = cr;
    Invalidate();
}

void CSomTextWnd::SetLinkColors(COLORREF crLink, COLORREF crHover)
{
    m_crLink = crLink;
    m_crLinkHover = crHover;
}

void CSomTextWnd::SetMaxWidth(int nMaxWidth)
{
    if (nMaxWidth == m_nMaxWidth)
        return;
    m_nMaxWidth = nMaxWidth;
    RecalcLayout();
    Invalidate();
}

void CSomTextWnd::RecalcLayout()
{
    SIZE sz;
    SomLayoutRuns(&m_aRuns, m_hFont, &sz);
    if ((m_dwFlags & SWF_AUTOSIZE) == 0)
        return;
    int cx = sz.cx;
    if (m_nMaxWidth != -1 && m_nMaxWidth < cx)
        cx = m_nMaxWidth;
    if (m_pManager != NULL) {
        SetSize(cx, sz.cy);
    } else {
        // Not registered yet: Create sets the rectangle and lays out again.
        m_rcWnd.right = m_rcWnd.left + cx;
        m_rcWnd.bottom = m_rcWnd.top + sz.cy;
    }
}

void CSomTextWnd::OnCreate()
{
    m_dwFlags |= SWF_TRANSPARENT;
    m_nHoverRun = -1;
    m_nPressedRun = -1;
    RecalcLayout();
}

COLORREF CSomTextWnd::GetRunColor(int i) const
{
    if (i == m_nHoverRun)
        return m_crLinkHover;
    const SomTextRun& run = m_aRuns[i];
    if (run.crColor >= 0)
        return (COLORREF)run.crColor & 0x00FFFFFF;
    return run.IsLink() ? m_crLink : m_crText;
}

void CSomTextWnd::OnPaint(HDC hdc, int nClipRight, int nPart)
{
    ::SetBkMode(hdc, TRANSPARENT);
    COLORREF crOld = ::GetTextColor(hdc);
    if (nPart != 0) {
        if (nPart - 1 < (int)m_aRuns.size())
            PaintRun(hdc, nClipRight, nPart - 1);
    } else {
        RECT rcClip, rcTmp;
        BOOL bClip = ::GetClipBox(hdc, &rcClip) != ERROR;
        for (int i = 0; i < (int)m_aRuns.size(); ++i) {
            if (!bClip || ::IntersectRect(&rcTmp, &m_aRuns[i].rc, &rcClip))
                PaintRun(hdc, nClipRight, i);
        }
    }
    ::SetTextColor(hdc, crOld);
}

void CSomTextWnd::PaintRun(HDC hdc, int nClipRight, int i)
{
    const SomTextRun& run = m_aRuns[i];
    const int nLimit = nClipRight != -1 ? nClipRight : m_nMaxWidth;
    RECT rc = run.rc;
    BOOL bCut = FALSE;
    if (nLimit != -1) {
        if (nLimit < rc.left)
            return;
        if (nLimit < rc.right) {
            rc.right = nLimit;
            bCut = TRUE;
        }
    }

    HFONT hFont = run.hFont != NULL ? run.hFont : m_hFont;
    CScopedSelectObject font(hdc, hFont);
    COLORREF crOld = ::SetTextColor(hdc, GetRunColor(i));
    if (!bCut) {
        ::TextOutW(hdc, rc.left, rc.top, run.strText.c_str(), (int)run.strText.size());
    } else {
        // Without DT_MODIFYSTRING the text is only read.
        ::DrawTextW(hdc, const_cast<LPWSTR>(run.strText.c_str()), (int)run.strText.size(), &rc,
                    DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
    }
    ::SetTextColor(hdc, crOld);
}

void CSomTextWnd::InvalidateRun(int i) { Invalidate(&m_aRuns[i].rc, i + 1); }

BOOL CSomTextWnd::OnSetCursor(POINT& pt)
{
    int i = SomRunAt(m_aRuns, pt);
    if (i < 0 || !m_aRuns[i].IsLink())
        return FALSE;
    ::SetCursor(::LoadCursorW(NULL, IDC_HAND));
    return TRUE;
}

BOOL CSomTextWnd::OnLButtonDown(POINT& pt)
{
    int i = SomRunAt(m_aRuns, pt);
    if (i >= 0) {
        int nPrev = m_nPressedRun;
        if (!m_aRuns[i].IsLink()) {
            m_nPressedRun = -1;
        } else if (i != m_nPressedRun) {
            m_nPressedRun = i;
            InvalidateRun(i);
            if (m_pManager != NULL)
                m_pManager->SetWndCapture(this);
        }
        if (nPrev != -1 && nPrev != m_nPressedRun)
            InvalidateRun(nPrev);
    }
    return m_nPressedRun != -1;
}

BOOL CSomTextWnd::OnLButtonDblClk(POINT& pt) { return OnLButtonDown(pt); }

BOOL CSomTextWnd::OnLButtonUp(POINT& pt)
{
    (void)pt;
    if (m_nPressedRun != -1 && m_pManager != NULL)
        m_pManager->ReleaseWndCapture(this);
    return m_nPressedRun != -1;
}

void CSomTextWnd::OnCaptureLost()
{
    if (m_nPressedRun == -1)
        return;
    int i = m_nPressedRun;
    m_nPressedRun = -1;
    InvalidateRun(i);
    if (m_nHoverRun == -1)
        return;
    // A copy: the host may give this element a new text while handling the command.
    std::wstring strLink = m_aRuns[m_nHoverRun].strLink;
    DoLinkAction(strLink);
}

void CSomTextWnd::DoLinkAction(const std::wstring& strLink)
{
    if (IsCommandLink(strLink)) {
        if (m_pManager != NULL)
            m_pManager->SendCommand(this, 0, CommandLinkId(strLink));
        return;
    }
    ::ShellExecuteW(NULL, L"open", strLink.c_str(), NULL, NULL, SW_SHOWNORMAL);
}

BOOL CSomTextWnd::OnMouseMove(POINT& pt)
{
    int i = SomRunAt(m_aRuns, pt);
    if (i < 0)
        return FALSE;  // between runs the hover stays as it was
    int nPrev = m_nHoverRun;
    if (!m_aRuns[i].IsLink()) {
        m_nHoverRun = -1;
    } else if (i != m_nHoverRun) {
        m_nHoverRun = i;
        InvalidateRun(i);
    }
    if (nPrev != -1 && nPrev != m_nHoverRun)
        InvalidateRun(nPrev);
    return FALSE;
}

void CSomTextWnd::OnMouseLeave()
{
    if (m_nHoverRun == -1)
        return;
    int i = m_nHoverRun;
    m_nHoverRun = -1;
    InvalidateRun(i);
}

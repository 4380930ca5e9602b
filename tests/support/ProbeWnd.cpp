#include "ProbeWnd.h"
#include <stdio.h>
#include "som/SomWndManager.h"

CProbeWnd::CProbeWnd(COLORREF cr)
    : m_cr(cr), m_nSquare(0), m_bCaptureOnDown(FALSE), m_nPaints(0), m_hdcLastPaint(NULL), m_pSharedLog(NULL)
{
}

void CProbeWnd::OnPaint(HDC hdc, int nClipRight, int nPart)
{
    (void)nClipRight;
    (void)nPart;
    ++m_nPaints;
    m_hdcLastPaint = hdc;
    RECT rc = { 0, 0, GetWidth(), GetHeight() };
    if (m_nSquare > 0)
        SetRect(&rc, 2, 2, 2 + m_nSquare, 2 + m_nSquare);
    HBRUSH hbr = ::CreateSolidBrush(m_cr);
    ::FillRect(hdc, &rc, hbr);
    ::DeleteObject(hbr);
}

BOOL CProbeWnd::OnLButtonDown(POINT& pt)
{
    Log("down", pt.x, pt.y);
    if (m_bCaptureOnDown)
        m_pManager->SetWndCapture(this);
    return m_bCaptureOnDown;
}

BOOL CProbeWnd::OnLButtonUp(POINT& pt)
{
    Log("up", pt.x, pt.y);
    if (m_bCaptureOnDown)
        m_pManager->ReleaseWndCapture(this);
    return TRUE;
}

void CProbeWnd::OnGetToolTipText(int nSubId, NMTTDISPINFOW* pInfo)
{
    Log("tiptext", nSubId);
    pInfo->lpszText = (LPWSTR)L"tip";
}

BOOL CProbeWnd::Logged(const std::string& s) const
{
    for (size_t i = 0; i < m_aLog.size(); ++i)
        if (m_aLog[i] == s)
            return TRUE;
    return FALSE;
}

void CProbeWnd::Log(const char* psz, int a, int b)
{
    char sz[64];
    if (a == INT_MIN)
        snprintf(sz, sizeof(sz), "%s", psz);
    else if (b == INT_MIN)
        snprintf(sz, sizeof(sz), "%s %d", psz, a);
    else
        snprintf(sz, sizeof(sz), "%s %d,%d", psz, a, b);
    m_aLog.push_back(sz);
    if (m_pSharedLog != NULL)
        m_pSharedLog->push_back(m_strName + " " + sz);
}

// The manager's element list, capture records, geometry, repaint requests and painting.
#include "SomWndManager.h"
#include "SomDrawSurfaces.h"
#include <algorithm>

CSomWndManager::CSomWndManager() : m_bRedraw(TRUE), m_bDirectPaint(TRUE), m_hWnd(NULL), m_pCapture(NULL), m_pHover(NULL)
{
}

CSomWndManager::~CSomWndManager() {}

BOOL CSomWndManager::AddWnd(CSomWnd* pWnd)
{
    m_aWnds.push_back(pWnd);
    return TRUE;
}

BOOL CSomWndManager::RemoveWnd(CSomWnd* pWnd)
{
    // ReleaseWndCapture ends the record, through WM_CAPTURECHANGED or directly.
    if (pWnd != NULL && pWnd == m_pCapture)
        ReleaseWndCapture(pWnd);
    if (pWnd != NULL && pWnd == m_pHover)
        ClearHover();
    std::vector<CSomWnd*>::iterator it = std::find(m_aWnds.begin(), m_aWnds.end(), pWnd);
    if (it == m_aWnds.end())
        return FALSE;
    m_aWnds.erase(it);
    return TRUE;
}

void CSomWndManager::SetWndCapture(CSomWnd* pWnd)
{
    if (m_pCapture != NULL) {
        CSomWnd* pOld = m_pCapture;
        m_pCapture = NULL;
        pOld->OnCaptureLost();
    }
    m_pCapture = pWnd;
    if (m_hWnd != NULL && ::GetCapture() != m_hWnd)
        ::SetCapture(m_hWnd);
}

void CSomWndManager::ReleaseWndCapture(CSomWnd* pWnd)
{
    if (pWnd == NULL || pWnd != m_pCapture)
        return;
    // WM_CAPTURECHANGED normally ends the capture record from inside ReleaseCapture.
    if (m_hWnd != NULL && ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    // The host did not hold the system capture (it was never taken or already gone):
    // no message will come, so end the record here rather than leave it stuck.
    if (m_pCapture == pWnd) {
        m_pCapture = NULL;
        pWnd->OnCaptureLost();
    }
}

LRESULT CSomWndManager::SendHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CSomWndManager::SendCommand(CSomWnd* pFrom, WORD wCode, WORD wID)
{
    return ::SendMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(wID, wCode), (LPARAM)pFrom);
}

BOOL CSomWndManager::PostHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

void CSomWndManager::SetWndRect(CSomWnd* pWnd, int x, int y, int cx, int cy)
{
    RECT rcOld = pWnd->m_rcWnd;
    int cxOld = rcOld.right - rcOld.left;
    int cyOld = rcOld.bottom - rcOld.top;
    if (x == rcOld.left && y == rcOld.top && cx == cxOld && cy == cyOld)
        return;
    BOOL bVisible = pWnd->IsVisible();
    // Without a host window InvalidateRect(NULL, ...) would repaint the whole desktop.
    BOOL bHost = m_hWnd != NULL;
    if (bVisible && bHost)
        ::InvalidateRect(m_hWnd, &rcOld, FALSE);
    ::SetRect(&pWnd->m_rcWnd, x, y, x + cx, y + cy);
    if (x != rcOld.left || y != rcOld.top)
        pWnd->OnMove(x, y);
    if (cx != cxOld || cy != cyOld)
        pWnd->OnSize(cx, cy);
    if (bVisible && bHost) {
        ::InvalidateRect(m_hWnd, &pWnd->m_rcWnd, FALSE);
        if (m_bDirectPaint)
            ::UpdateWindow(m_hWnd);
    }
}

void CSomWndManager::SetWndSize(CSomWnd* pWnd, int cx, int cy)
{
    SetWndRect(pWnd, pWnd->m_rcWnd.left, pWnd->m_rcWnd.top, cx, cy);
}

void CSomWndManager::SetWndPos(CSomWnd* pWnd, int x, int y)
{
    SetWndRect(pWnd, x, y, pWnd->GetWidth(), pWnd->GetHeight());
}

void CSomWndManager::InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart)
{
    if (!m_bRedraw || m_hWnd == NULL)
        return;
    BOOL bVisible = pWnd->IsVisible();
    BOOL bBackground = bVisible ? pWnd->IsTransparent() : bErase;
    if (!bVisible && !bBackground)
        return;

    RECT rcArea = pWnd->m_rcWnd;
    if (prcPart != NULL) {
        RECT rcPart = *prcPart;
        ::OffsetRect(&rcPart, pWnd->m_rcWnd.left, pWnd->m_rcWnd.top);
        if (!::IntersectRect(&rcArea, &rcPart, &pWnd->m_rcWnd))
            return;
    }

    if (!m_bDirectPaint) {
        ::InvalidateRect(m_hWnd, &rcArea, FALSE);
        return;
    }
    HDC hdc = ::GetDC(m_hWnd);
    if (hdc == NULL)
        return;
    ::IntersectClipRect(hdc, rcArea.left, rcArea.top, rcArea.right, rcArea.bottom);
    PaintWnd(hdc, pWnd, bVisible, bBackground, FALSE, nPart);
    ::ReleaseDC(m_hWnd, hdc);
}

int CSomWndManager::AddToolTip(CSomWnd* pWnd, int nSubId, const RECT* prcTool)
{
    return AddTool(pWnd, nSubId, prcTool);
}

void CSomWndManager::RemoveToolTips(CSomWnd* pWnd) { RemoveTools(pWnd); }

void CSomWndManager::LockUpdate() { m_bDirectPaint = FALSE; }

void CSomWndManager::UnlockUpdate()
{
    m_bDirectPaint = TRUE;
    if (m_bRedraw && m_hWnd != NULL)
        ::UpdateWindow(m_hWnd);
}

void CSomWndManager::DrawBackground(HDC hdc, const RECT* prc)
{
    if (m_hWnd == NULL)
        return;
    HBRUSH hbr = (HBRUSH)::GetClassLongPtrW(m_hWnd, GCLP_HBRBACKGROUND);
    if (hbr == NULL)
        return;
    RECT rc;
    if (prc != NULL)
        rc = *prc;
    else
        ::GetClipBox(hdc, &rc);
    ::FillRect(hdc, &rc, hbr);
}

void CSomWndManager::DrawWnds(HDC hdc, const RECT* prc)
{
    RECT rcPaint;
    if (prc != NULL)
        rcPaint = *prc;
    else
        ::GetClipBox(hdc, &rcPaint);
    // Index loop: an element's OnPaint must not, but could, change the list.
    for (size_t i = 0; i < m_aWnds.size(); ++i) {
        CSomWnd* pWnd = m_aWnds[i];
        RECT rcHit;
        if (!pWnd->IsVisible() || !::IntersectRect(&rcHit, &pWnd->m_rcWnd, &rcPaint))
            continue;
        PaintWnd(hdc, pWnd, TRUE, pWnd->IsTransparent(), TRUE, 0);
    }
}

void CSomWndManager::PaintWnd(HDC hdcWnd, CSomWnd* pWnd, BOOL bPaintWnd, BOOL bBackground, BOOL bExclude, int nPart)
{
    const RECT rc = pWnd->m_rcWnd;
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    HDC hdcTarget = hdcWnd;

    if (bBackground) {
        if (bPaintWnd && g_backBuffer.hdc != NULL && g_backBuffer.cx >= cx && g_backBuffer.cy >= cy) {
            hdcTarget = g_backBuffer.hdc;
            // Client coordinates land on the buffer's top-left corner.
            ::SetViewportOrgEx(hdcTarget, -rc.left, -rc.top, NULL);
        }
        DrawBackground(hdcTarget, &rc);
    }
    if (!bPaintWnd)
        return;

    if (hdcTarget == hdcWnd) {
        POINT ptOld;
        ::OffsetViewportOrgEx(hdcWnd, rc.left, rc.top, &ptOld);
        pWnd->OnPaint(hdcWnd, -1, nPart);
        ::SetViewportOrgEx(hdcWnd, ptOld.x, ptOld.y, NULL);
    } else {
        ::SetViewportOrgEx(hdcTarget, 0, 0, NULL);
        pWnd->OnPaint(hdcTarget, -1, nPart);
        ::BitBlt(hdcWnd, rc.left, rc.top, cx, cy, hdcTarget, 0, 0, SRCCOPY);
    }
    if (bExclude)
        ::ExcludeClipRect(hdcWnd, rc.left, rc.top, rc.right, rc.bottom);
}

CSomWnd* CSomWndManager::HitTest(POINT ptClient) const
{
    for (size_t i = 0; i < m_aWnds.size(); ++i) {
        CSomWnd* pWnd = m_aWnds[i];
        if (pWnd->IsVisible() && pWnd->IsEnabled() && ::PtInRect(&pWnd->m_rcWnd, ptClient))
            return pWnd;
    }
    return NULL;
}

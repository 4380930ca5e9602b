// The manager's message map: painting, mouse routing, the element tick and the teardown.
#include "SomWndManager.h"

namespace {

POINT PointFromLParam(LPARAM lParam)
{
    // Signed words: with the capture held, the pointer can be left of or above the client area.
    POINT pt = { (short)LOWORD(lParam), (short)HIWORD(lParam) };
    return pt;
}

POINT ToElement(const CSomWnd* pWnd, POINT ptClient)
{
    POINT pt = { ptClient.x - pWnd->m_rcWnd.left, ptClient.y - pWnd->m_rcWnd.top };
    return pt;
}

}  // namespace

BOOL CSomWndManager::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                          DWORD dwMsgMapID)
{
    if (dwMsgMapID != 0)
        return FALSE;
    // A window that is going away must not attach again after the teardown, or the
    // manager would keep its dead handle and never serve a new window.
    if (m_hWnd == NULL && uMsg != WM_DESTROY && uMsg != WM_NCDESTROY) {
        m_hWnd = hWnd;
        ::SetTimer(hWnd, SOM_TIMER_ID, 100, NULL);
    }

    switch (uMsg) {
    case WM_NOTIFY: {
        NMHDR* pHdr = (NMHDR*)lParam;
        if (pHdr == NULL || pHdr->code != TTN_GETDISPINFOW)
            return FALSE;
        lResult = 0;
        return OnGetDispInfo((NMTTDISPINFOW*)lParam);
    }
    case WM_MOUSEMOVE:
        return HandleMouseMove(lParam, lResult);
    case WM_ERASEBKGND:
        lResult = 1;
        return TRUE;
    case WM_PAINT:
        FullPaint(NULL);
        lResult = 0;
        return TRUE;
    case WM_SETCURSOR:
        return HandleSetCursor(lResult);
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return HandleButton(uMsg, lParam, lResult);
    case WM_PRINTCLIENT:
        FullPaint((HDC)wParam);
        lResult = 0;
        return TRUE;
    case WM_TIMER:
        if (wParam != SOM_TIMER_ID)
            return FALSE;
        HandleTick();
        lResult = 1;
        return TRUE;
    case WM_CAPTURECHANGED:
        lResult = 0;
        if (m_pCapture == NULL)
            return FALSE;
        {
            // Cleared first: the holder's OnCaptureLost may send a command whose handler
            // takes the capture again or closes the window.
            CSomWnd* pHolder = m_pCapture;
            m_pCapture = NULL;
            pHolder->OnCaptureLost();
        }
        return TRUE;
    case WM_SETREDRAW:
        m_bRedraw = (BOOL)wParam;
        lResult = 0;
        return FALSE;
    case WM_DESTROY:
        if (m_hWnd == hWnd)
            Teardown();
        lResult = 0;
        return FALSE;
    }
    return FALSE;
}

void CSomWndManager::ClearHover()
{
    CSomWnd* pOld = m_pHover;
    m_pHover = NULL;
    if (pOld != NULL)
        pOld->OnMouseLeave();
}

BOOL CSomWndManager::HandleMouseMove(LPARAM lParam, LRESULT& lResult)
{
    POINT ptClient = PointFromLParam(lParam);
    lResult = 0;
    if (m_pCapture != NULL) {
        CSomWnd* pHolder = m_pCapture;
        POINT pt = ToElement(pHolder, ptClient);
        BOOL bInside = ::PtInRect(&pHolder->m_rcWnd, ptClient);
        if (bInside && m_pHover == NULL) {
            m_pHover = pHolder;
            pHolder->OnMouseEnter(pt);
        } else if (!bInside && m_pHover == pHolder) {
            ClearHover();
        }
        lResult = pHolder->OnMouseMove(pt);
        return TRUE;
    }

    CSomWnd* pHit = HitTest(ptClient);
    if (pHit != m_pHover) {
        ClearHover();
        m_pHover = pHit;
        if (pHit != NULL) {
            POINT pt = ToElement(pHit, ptClient);
            pHit->OnMouseEnter(pt);
        }
    }
    if (pHit == NULL)
        return TRUE;
    POINT pt = ToElement(pHit, ptClient);
    pHit->OnMouseMove(pt);
    return FALSE;
}

BOOL CSomWndManager::HandleButton(UINT uMsg, LPARAM lParam, LRESULT& lResult)
{
    POINT ptClient = PointFromLParam(lParam);
    CSomWnd* pTarget = m_pCapture;
    BOOL bCaptured = pTarget != NULL;
    if (!bCaptured)
        pTarget = HitTest(ptClient);
    lResult = 0;
    if (pTarget == NULL)
        return FALSE;

    POINT pt = ToElement(pTarget, ptClient);
    BOOL bRet;
    if (uMsg == WM_LBUTTONDOWN)
        bRet = pTarget->OnLButtonDown(pt);
    else if (uMsg == WM_LBUTTONUP)
        bRet = pTarget->OnLButtonUp(pt);
    else
        bRet = pTarget->OnLButtonDblClk(pt);
    if (bCaptured) {
        lResult = bRet;
        return TRUE;
    }
    return bRet;
}

BOOL CSomWndManager::HandleSetCursor(LRESULT& lResult)
{
    lResult = 0;
    POINT ptClient;
    if (!::GetCursorPos(&ptClient))
        return FALSE;
    ::ScreenToClient(m_hWnd, &ptClient);
    CSomWnd* pTarget = m_pCapture != NULL ? m_pCapture : HitTest(ptClient);
    if (pTarget == NULL)
        return FALSE;
    POINT pt = ToElement(pTarget, ptClient);
    BOOL bRet = pTarget->OnSetCursor(pt);
    lResult = bRet;
    return bRet;
}

void CSomWndManager::HandleTick()
{
    // Mouse-leave tracking is not used: this check is how a pointer that left the window is seen.
    if (m_pHover != NULL && m_pCapture == NULL) {
        POINT pt;
        RECT rcClient;
        if (::GetCursorPos(&pt) && ::GetClientRect(m_hWnd, &rcClient)) {
            ::MapWindowPoints(m_hWnd, NULL, (POINT*)&rcClient, 2);
            if (!::PtInRect(&rcClient, pt) || ::WindowFromPoint(pt) != m_hWnd)
                ClearHover();
        }
    }
    for (size_t i = 0; i < m_aWnds.size(); ++i)
        m_aWnds[i]->OnTimer();
}

void CSomWndManager::FullPaint(HDC hdcGiven)
{
    RECT rc;
    if (hdcGiven != NULL) {
        // The caller's DC keeps its clipping: the exclusions below are undone afterwards.
        int nSaved = ::SaveDC(hdcGiven);
        ::GetClipBox(hdcGiven, &rc);
        DrawWnds(hdcGiven, &rc);
        DrawBackground(hdcGiven, &rc);
        ::RestoreDC(hdcGiven, nSaved);
        return;
    }
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    if (hdc == NULL)
        return;
    rc = ps.rcPaint;
    DrawWnds(hdc, &rc);
    DrawBackground(hdc, &rc);
    ::EndPaint(m_hWnd, &ps);
}

void CSomWndManager::Teardown()
{
    ::KillTimer(m_hWnd, SOM_TIMER_ID);
    ClearHover();
    if (m_pCapture != NULL) {
        CSomWnd* pHolder = m_pCapture;
        m_pCapture = NULL;
        pHolder->OnCaptureLost();
    }
    for (size_t i = 0; i < m_aWnds.size(); ++i) {
        m_aWnds[i]->OnDestroy();
        m_aWnds[i]->ResetBase();
    }
    m_bRedraw = TRUE;
    m_bDirectPaint = TRUE;
    m_hWnd = NULL;
    m_pCapture = NULL;
    m_pHover = NULL;
    m_aWnds.clear();
}

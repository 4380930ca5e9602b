#include "SomWnd.h"
#include "SomWndManager.h"

CSomWnd::CSomWnd() { ResetBase(); }

CSomWnd::~CSomWnd() {}

void CSomWnd::Release() { delete this; }

BOOL CSomWnd::Create(ISomWndManager* pManager, int x, int y, int cx, int cy, UINT nID, DWORD dwFlags)
{
    if (pManager == NULL)
        return FALSE;
    m_pManager = pManager;
    m_dwFlags = dwFlags;
    m_nID = nID;
    SetRect(&m_rcWnd, x, y, x + cx, y + cy);
    BOOL bAdded = pManager->AddWnd(this);
    OnCreate();
    OnMove(x, y);
    OnSize(cx, cy);
    return bAdded;
}

BOOL CSomWnd::Create(ISomWndManager* pManager, DWORD dwFlags) { return Create(pManager, 0, 0, 0, 0, 0, dwFlags); }

BOOL CSomWnd::Create(ISomWndManager* pManager, UINT nID, DWORD dwFlags)
{
    return Create(pManager, 0, 0, 0, 0, nID, dwFlags);
}

BOOL CSomWnd::Create(ISomWndManager* pManager, int x, int y, DWORD dwFlags)
{
    return Create(pManager, x, y, 0, 0, 0, dwFlags);
}

BOOL CSomWnd::Create(ISomWndManager* pManager, int x, int y, int cx, int cy, DWORD dwFlags)
{
    return Create(pManager, x, y, cx, cy, 0, dwFlags);
}

BOOL CSomWnd::Create(ISomWndManager* pManager, int x, int y, UINT nID, DWORD dwFlags)
{
    return Create(pManager, x, y, 0, 0, nID, dwFlags);
}

void CSomWnd::SetPos(int x, int y)
{
    if (m_pManager)
        m_pManager->SetWndPos(this, x, y);
}

void CSomWnd::SetSize(int cx, int cy)
{
    if (m_pManager)
        m_pManager->SetWndSize(this, cx, cy);
}

void CSomWnd::Invalidate(const RECT* prcPart, int nPart)
{
    if (m_pManager)
        m_pManager->InvalidateWnd(this, prcPart, FALSE, nPart);
}

BOOL CSomWnd::Show(BOOL bShow)
{
    BOOL bWasVisible = IsVisible() ? 1 : 0;
    if (bWasVisible == (bShow ? 1 : 0))
        return bWasVisible;
    if (bShow)
        m_dwFlags |= SWF_VISIBLE;
    else
        m_dwFlags &= ~(DWORD)SWF_VISIBLE;
    // TRUE: a hidden element's rectangle gets the host background again.
    if (m_pManager)
        m_pManager->InvalidateWnd(this, NULL, TRUE, 0);
    return bWasVisible;
}

void CSomWnd::ResetBase()
{
    m_dwFlags = 0;
    m_nID = 0;
    SetRectEmpty(&m_rcWnd);
    m_pManager = NULL;
}

// CSomWnd: the abstract base of every windowless element. An element owns a rectangle in
// its host window's client area and paints into whatever DC its manager (ISomWndManager,
// SomWndManager.h) hands it; the manager hit-tests it and routes mouse input to it.
#pragma once
#include <windows.h>
#include <commctrl.h>

class ISomWndManager;

enum {
    SWF_VISIBLE = 0x1,
    SWF_AUTOSIZE = 0x2,
    SWF_DISABLED = 0x4,
    SWF_TRANSPARENT = 0x8,
};

class CSomWnd
{
public:
    DWORD m_dwFlags;             // SWF_* bits
    UINT m_nID;                  // command id; only the low 16 bits travel in WM_COMMAND
    RECT m_rcWnd;                // host client coordinates; right and bottom exclusive
    ISomWndManager* m_pManager;  // not owned; null while unregistered

    CSomWnd();
    virtual ~CSomWnd();

    // Virtual event operations, in slot order. Points are in element coordinates.
    virtual void Release();
    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnTimer() {}
    // Empty defaults: the parameter names stay, as comments, to say what each slot receives.
    virtual void OnMove(int /*x*/, int /*y*/) {}
    virtual void OnSize(int /*cx*/, int /*cy*/) {}
    virtual void OnPaint(HDC hdc, int nClipRight, int nPart) = 0;
    virtual void OnCaptureLost() {}
    virtual BOOL OnSetCursor(POINT& /*pt*/) { return FALSE; }
    virtual BOOL OnLButtonDown(POINT& /*pt*/) { return FALSE; }
    virtual BOOL OnLButtonUp(POINT& /*pt*/) { return FALSE; }
    virtual BOOL OnLButtonDblClk(POINT& /*pt*/) { return FALSE; }
    virtual BOOL OnMouseMove(POINT& /*pt*/) { return FALSE; }
    virtual void OnMouseEnter(POINT& /*pt*/) {}
    virtual void OnMouseLeave() {}
    virtual void OnGetToolTipText(int /*nSubId*/, NMTTDISPINFOW* /*pInfo*/) {}

    // Registration; every value a short form does not name is 0.
    BOOL Create(ISomWndManager* pManager, int x, int y, int cx, int cy, UINT nID, DWORD dwFlags);
    BOOL Create(ISomWndManager* pManager, DWORD dwFlags);
    BOOL Create(ISomWndManager* pManager, UINT nID, DWORD dwFlags);
    BOOL Create(ISomWndManager* pManager, int x, int y, DWORD dwFlags);
    BOOL Create(ISomWndManager* pManager, int x, int y, int cx, int cy, DWORD dwFlags);
    BOOL Create(ISomWndManager* pManager, int x, int y, UINT nID, DWORD dwFlags);

    void SetPos(int x, int y);
    void SetSize(int cx, int cy);
    // prcPart is in element coordinates (null: the whole element).
    void Invalidate(const RECT* prcPart = NULL, int nPart = 0);
    BOOL Show(BOOL bShow);

    BOOL IsVisible() const { return (m_dwFlags & SWF_VISIBLE) != 0; }
    BOOL IsEnabled() const { return (m_dwFlags & SWF_DISABLED) == 0; }
    BOOL IsTransparent() const { return (m_dwFlags & SWF_TRANSPARENT) != 0; }
    void GetWndRect(RECT* prc) const { *prc = m_rcWnd; }
    int GetWidth() const { return m_rcWnd.right - m_rcWnd.left; }
    int GetHeight() const { return m_rcWnd.bottom - m_rcWnd.top; }

    // Back to the constructed state; the manager's teardown calls this.
    void ResetBase();
};

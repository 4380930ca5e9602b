#include "TestHost.h"

const COLORREF CTestHost::kClassBrushColor = RGB(10, 20, 30);

namespace {
const wchar_t kClassPlain[] = L"KvTestHost";
const wchar_t kClassBrush[] = L"KvTestHostBrush";
}  // namespace

CTestHost::CTestHost()
    : m_crBk(RGB(0, 255, 0)), m_bClassBackground(FALSE), m_nBkCalls(0), m_hdcLastBk(NULL), m_nPassedDown(0),
      m_nInvalidates(0), m_nSetSizes(0), m_hWndHost(NULL)
{
    SetRectEmpty(&m_rcLastBk);
}

CTestHost::~CTestHost() { DestroyHost(); }

HWND CTestHost::CreateHost(int x, int y, int cx, int cy, DWORD dwExStyle, BOOL bClassBrush, BOOL bShow)
{
    static BOOL s_bRegistered = FALSE;
    if (!s_bRegistered) {
        WNDCLASSW wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = WndProc;
        wc.hInstance = ::GetModuleHandleW(NULL);
        wc.hCursor = ::LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
        wc.lpszClassName = kClassPlain;
        ::RegisterClassW(&wc);
        wc.hbrBackground = ::CreateSolidBrush(kClassBrushColor);
        wc.lpszClassName = kClassBrush;
        ::RegisterClassW(&wc);
        s_bRegistered = TRUE;
    }
    // The manager attaches on the first message it sees (WM_NCCREATE).
    m_hWndHost = ::CreateWindowExW(dwExStyle, bClassBrush ? kClassBrush : kClassPlain, L"test host", WS_POPUP, x, y, cx,
                                   cy, NULL, NULL, ::GetModuleHandleW(NULL), this);
    if (bShow) {
        ::ShowWindow(m_hWndHost, SW_SHOWNOACTIVATE);
        ::UpdateWindow(m_hWndHost);
    }
    return m_hWndHost;
}

void CTestHost::DestroyHost()
{
    if (m_hWndHost != NULL)
        ::DestroyWindow(m_hWndHost);
    m_hWndHost = NULL;
}

void CTestHost::ResetCounts()
{
    m_commands.clear();
    m_nPassedDown = 0;
    m_nInvalidates = 0;
    m_parts.clear();
    m_partRects.clear();
    m_nSetSizes = 0;
}

void CTestHost::InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart)
{
    ++m_nInvalidates;
    m_parts.push_back(nPart);
    RECT rc;
    if (prcPart != NULL)
        rc = *prcPart;
    else
        SetRectEmpty(&rc);
    m_partRects.push_back(rc);
    CSomWndManager::InvalidateWnd(pWnd, prcPart, bErase, nPart);
}

void CTestHost::SetWndSize(CSomWnd* pWnd, int cx, int cy)
{
    ++m_nSetSizes;
    CSomWndManager::SetWndSize(pWnd, cx, cy);
}

void CTestHost::DrawBackground(HDC hdc, const RECT* prc)
{
    ++m_nBkCalls;
    m_hdcLastBk = hdc;
    if (prc != NULL)
        m_rcLastBk = *prc;
    if (m_bClassBackground) {
        CSomWndManager::DrawBackground(hdc, prc);
        return;
    }
    RECT rcClip;
    ::GetClipBox(hdc, &rcClip);
    HBRUSH hbr = ::CreateSolidBrush(m_crBk);
    ::FillRect(hdc, prc != NULL ? prc : &rcClip, hbr);
    ::DeleteObject(hbr);
}

BOOL CTestHost::Offer(UINT uMsg, int x, int y, LRESULT* plResult)
{
    LRESULT lr = -1;
    BOOL bHandled = ProcessWindowMessage(m_hWndHost, uMsg, 0, MAKELPARAM(x, y), lr);
    if (plResult != NULL)
        *plResult = lr;
    return bHandled;
}

LRESULT CALLBACK CTestHost::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        CTestHost* pNew = (CTestHost*)((CREATESTRUCTW*)lParam)->lpCreateParams;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, (LONG_PTR)pNew);
        pNew->m_hWndHost = hWnd;
    }
    CTestHost* pThis = (CTestHost*)::GetWindowLongPtrW(hWnd, GWLP_USERDATA);
    if (pThis == NULL)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lResult = 0;
    if (pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))
        return lResult;
    switch (uMsg) {
    case WM_COMMAND: {
        HostCommand c = { LOWORD(wParam), HIWORD(wParam), lParam };
        pThis->m_commands.push_back(c);
        return 0;
    }
    case WM_TIMER:
        pThis->m_aPassedTimers.push_back((UINT)wParam);
        break;
    case WM_LBUTTONDOWN:
        ++pThis->m_nPassedDown;
        break;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        pThis->m_hWndHost = NULL;
        break;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

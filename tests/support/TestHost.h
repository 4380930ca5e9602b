// CTestHost: a real top-level popup window whose messages go to its CSomWndManager first,
// for tests of elements and of the manager. It records what the manager passes on to the
// host (commands, presses, timers) and what the manager is asked to do (repaints, sizes),
// and paints its background in one colour.
#pragma once
#include <windows.h>
#include <vector>
#include "som/SomWndManager.h"

struct HostCommand
{
    WORD wID;
    WORD wCode;
    LPARAM lParam;  // the sending element
};

class CTestHost : public CSomWndManager
{
public:
    COLORREF m_crBk;          // what DrawBackground fills with
    BOOL m_bClassBackground;  // use the manager's default DrawBackground instead
    int m_nBkCalls;
    HDC m_hdcLastBk;                      // not owned
    RECT m_rcLastBk;                      // client coordinates
    std::vector<HostCommand> m_commands;  // WM_COMMAND that reached the host itself
    std::vector<UINT> m_aPassedTimers;    // WM_TIMER ids that reached the host itself
    int m_nPassedDown;                    // WM_LBUTTONDOWN that reached the host itself
    int m_nInvalidates;                   // InvalidateWnd calls, all elements
    std::vector<int> m_parts;             // nPart of each InvalidateWnd
    std::vector<RECT> m_partRects;        // prcPart of each (empty for null)
    int m_nSetSizes;

    CTestHost();
    ~CTestHost() override;

    // The window at (x, y), screen coordinates. bClassBrush: the window class carries a
    // background brush of kClassBrushColor. bShow FALSE: hidden, so the real pointer
    // cannot reach it.
    HWND CreateHost(int x, int y, int cx, int cy, DWORD dwExStyle = 0, BOOL bClassBrush = FALSE, BOOL bShow = TRUE);
    void DestroyHost();
    HWND Hwnd() const { return m_hWndHost; }
    void ResetCounts();

    void InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart) override;
    void SetWndSize(CSomWnd* pWnd, int cx, int cy) override;
    void DrawBackground(HDC hdc, const RECT* prc) override;

    // A full paint of the whole client area through WM_PAINT, now.
    void UpdateWindowNow()
    {
        ::InvalidateRect(m_hWndHost, NULL, FALSE);
        ::UpdateWindow(m_hWndHost);
    }
    // A mouse message at the client point, sent to the window.
    LRESULT Mouse(UINT uMsg, int x, int y) { return ::SendMessageW(m_hWndHost, uMsg, 0, MAKELPARAM(x, y)); }
    // Offers a mouse message to the manager alone: TRUE when it handled it.
    BOOL Offer(UINT uMsg, int x, int y, LRESULT* plResult = NULL);

    static const COLORREF kClassBrushColor;

private:
    HWND m_hWndHost;  // owned: destroyed with the host
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

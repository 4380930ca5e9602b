// Test fixtures for the element toolkit: a real host window with a manager, a probe
// element that records what the manager does to it, 32-bit DIB surfaces to read pixels
// back, and a small PNG writer for pictures with exactly known pixels.
#pragma once
#include <windows.h>
#include <climits>
#include <string>
#include <vector>
#include "som/SomWndManager.h"
#include "MessagePump.h"

// A top-level popup window whose messages go to its CSomWndManager first.
class CTestHost : public CSomWndManager
{
public:
    struct Command { WPARAM wParam; LPARAM lParam; };

    COLORREF m_crBk;                  // what DrawBackground fills with
    BOOL m_bClassBackground;          // use the manager's default DrawBackground instead
    int m_nBkCalls;
    HDC m_hdcLastBk;                  // not owned
    RECT m_rcLastBk;                  // client coordinates
    std::vector<Command> m_aCommands;
    std::vector<UINT> m_aPassedTimers;   // WM_TIMER ids that reached the host's own handling

    CTestHost();
    ~CTestHost() override;

    // bClassBrush: the window class carries a background brush of kClassBrushColor.
    HWND CreateHost(int x, int y, int cx, int cy, DWORD dwExStyle = 0, BOOL bClassBrush = FALSE);
    void DestroyHost();
    HWND Hwnd() const { return m_hWndHost; }

    void DrawBackground(HDC hdc, const RECT* prc) override;

    // A full paint of the whole client area through WM_PAINT, now.
    void UpdateWindowNow() { ::InvalidateRect(m_hWndHost, NULL, FALSE); ::UpdateWindow(m_hWndHost); }
    LRESULT Mouse(UINT uMsg, int x, int y) { return ::SendMessageW(m_hWndHost, uMsg, 0, MAKELPARAM(x, y)); }
    // Offers a mouse message to the manager alone: TRUE when it handled it.
    BOOL Offer(UINT uMsg, int x, int y, LRESULT* plResult = NULL)
    {
        LRESULT lr = -1;
        BOOL bHandled = ProcessWindowMessage(m_hWndHost, uMsg, 0, MAKELPARAM(x, y), lr);
        if (plResult != NULL)
            *plResult = lr;
        return bHandled;
    }

    static const COLORREF kClassBrushColor;

private:
    HWND m_hWndHost;   // owned: destroyed with the host
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

// An element that fills its rectangle (or only a square at its corner) and logs its events.
class CProbeWnd : public CSomWnd
{
public:
    COLORREF m_cr;
    int m_nSquare;                  // > 0: paint only an m_nSquare square at (2, 2)
    BOOL m_bCaptureOnDown;
    int m_nPaints;
    HDC m_hdcLastPaint;             // not owned
    std::vector<std::string> m_aLog;   // "down 4,10", "enter 1,2", "leave", "lost", ...
    std::vector<std::string>* m_pSharedLog;   // not owned; also receives "<name> <event>"
    std::string m_strName;

    explicit CProbeWnd(COLORREF cr = RGB(255, 0, 0));

    void OnCreate() override { Log("create"); }
    void OnDestroy() override { Log("destroy"); }
    void OnMove(int x, int y) override { Log("move", x, y); }
    void OnSize(int cx, int cy) override { Log("size", cx, cy); }
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;
    void OnCaptureLost() override { Log("lost"); }
    BOOL OnLButtonDown(POINT& pt) override;
    BOOL OnLButtonUp(POINT& pt) override;
    BOOL OnSetCursor(POINT& pt) override { Log("cursor", pt.x, pt.y); return TRUE; }
    BOOL OnMouseMove(POINT& pt) override { Log("movemouse", pt.x, pt.y); return FALSE; }
    void OnMouseEnter(POINT& pt) override { Log("enter", pt.x, pt.y); }
    void OnMouseLeave() override { Log("leave"); }
    void OnGetToolTipText(int nSubId, NMTTDISPINFOW* pInfo) override;

    BOOL Logged(const std::string& s) const;
    void Log(const char* psz, int a = INT_MIN, int b = INT_MIN);
};

// A top-down 32-bit DIB selected into its own memory DC.
class CDibSurface
{
public:
    CDibSurface(int cx, int cy, COLORREF crFill = RGB(0, 0, 0));
    ~CDibSurface();
    HDC Dc() const { return m_hdc; }
    COLORREF Pixel(int x, int y) const;   // RGB, alpha ignored
    DWORD Raw(int x, int y) const { return m_pBits[y * m_cx + x]; }
    void Fill(COLORREF cr);
    // Paints the host into the surface through WM_PRINTCLIENT (the manager's full paint).
    void PrintHost(const CTestHost& host);
    // Copies what is on the host window's DC (direct repaints land there).
    void CopyFromWindow(HWND hWnd);
    std::vector<BYTE> ToPng() const;

    int m_cx, m_cy;
private:
    HDC m_hdc;           // owned
    HBITMAP m_hBitmap;   // owned
    HGDIOBJ m_hOld;
    DWORD* m_pBits;      // owned by m_hBitmap
};

// PNG files written without compression. Pixels are given as R, G, B(, A) bytes per pixel;
// nColorType 6 = RGBA, 2 = RGB, 3 = palette (pPalette holds R, G, B triplets).
std::vector<BYTE> EncodePng(int cx, int cy, int nColorType, const std::vector<BYTE>& pixels,
                            const std::vector<BYTE>& palette = std::vector<BYTE>());
// Writes bytes to a file under the temp folder and returns its path.
std::wstring WriteTempFile(const wchar_t* pszName, const std::vector<BYTE>& bytes);

// CDibSurface: a top-down 32-bit DIB selected into its own memory DC, to paint into and
// read pixels back from; and text measured in a fresh screen-compatible DC.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class CTestHost;

class CDibSurface
{
public:
    CDibSurface(int cx, int cy, COLORREF crFill = RGB(0, 0, 0));
    ~CDibSurface();
    HDC Dc() const { return m_hdc; }
    COLORREF Pixel(int x, int y) const;  // RGB, alpha ignored
    DWORD Raw(int x, int y) const { return m_pBits[y * m_cx + x]; }
    void Fill(COLORREF cr);
    // Number of pixels that are not white in the rectangle (surface coordinates, right and
    // bottom exclusive): the ink of text painted on a white surface.
    int InkIn(int left, int top, int right, int bottom) const;
    // The pixels of the rectangle, row by row, as 0x00RRGGBB.
    std::vector<DWORD> Block(int left, int top, int right, int bottom) const;
    // Paints the host into the surface through WM_PRINTCLIENT (the manager's full paint).
    void PrintHost(const CTestHost& host);
    // Copies what is on the window's DC (direct repaints land there).
    void CopyFromWindow(HWND hWnd);
    std::vector<BYTE> ToPng() const;

    int m_cx, m_cy;

private:
    CDibSurface(const CDibSurface&) = delete;
    CDibSurface& operator=(const CDibSurface&) = delete;

    HDC m_hdc;          // owned
    HBITMAP m_hBitmap;  // owned
    HGDIOBJ m_hOld;
    DWORD* m_pBits;  // owned by m_hBitmap
};

// Text width and height of s in hFont, measured in a fresh screen-compatible DC.
SIZE MeasureText(HFONT hFont, const std::wstring& s);

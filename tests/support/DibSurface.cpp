#include "DibSurface.h"
#include "PngWriter.h"
#include "TestHost.h"

CDibSurface::CDibSurface(int cx, int cy, COLORREF crFill)
    : m_cx(cx), m_cy(cy), m_hdc(NULL), m_hBitmap(NULL), m_hOld(NULL), m_pBits(NULL)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pv = NULL;
    m_hBitmap = ::CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &pv, NULL, 0);
    m_pBits = (DWORD*)pv;
    m_hdc = ::CreateCompatibleDC(NULL);
    m_hOld = ::SelectObject(m_hdc, m_hBitmap);
    Fill(crFill);
}

CDibSurface::~CDibSurface()
{
    ::SelectObject(m_hdc, m_hOld);
    ::DeleteDC(m_hdc);
    ::DeleteObject(m_hBitmap);
}

COLORREF CDibSurface::Pixel(int x, int y) const
{
    ::GdiFlush();
    DWORD v = m_pBits[y * m_cx + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void CDibSurface::Fill(COLORREF cr)
{
    ::GdiFlush();
    DWORD v = (DWORD)GetRValue(cr) << 16 | (DWORD)GetGValue(cr) << 8 | GetBValue(cr);
    for (int i = 0; i < m_cx * m_cy; ++i)
        m_pBits[i] = v;
}

void CDibSurface::PrintHost(const CTestHost& host)
{
    ::SendMessageW(host.Hwnd(), WM_PRINTCLIENT, (WPARAM)m_hdc, PRF_CLIENT);
}

void CDibSurface::CopyFromWindow(HWND hWnd)
{
    HDC hdc = ::GetDC(hWnd);
    ::BitBlt(m_hdc, 0, 0, m_cx, m_cy, hdc, 0, 0, SRCCOPY);
    ::ReleaseDC(hWnd, hdc);
}

std::vector<BYTE> CDibSurface::ToPng() const
{
    ::GdiFlush();
    std::vector<BYTE> rgb((size_t)m_cx * m_cy * 3);
    for (int i = 0; i < m_cx * m_cy; ++i) {
        rgb[i * 3] = (BYTE)(m_pBits[i] >> 16);
        rgb[i * 3 + 1] = (BYTE)(m_pBits[i] >> 8);
        rgb[i * 3 + 2] = (BYTE)m_pBits[i];
    }
    return EncodePng(m_cx, m_cy, 2, rgb);
}

int CDibSurface::InkIn(int left, int top, int right, int bottom) const
{
    ::GdiFlush();
    int n = 0;
    for (int y = top; y < bottom && y < m_cy; ++y)
        for (int x = left; x < right && x < m_cx; ++x)
            if ((m_pBits[y * m_cx + x] & 0x00FFFFFF) != 0x00FFFFFF)
                ++n;
    return n;
}

std::vector<DWORD> CDibSurface::Block(int left, int top, int right, int bottom) const
{
    ::GdiFlush();
    std::vector<DWORD> v;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            v.push_back(m_pBits[y * m_cx + x] & 0x00FFFFFF);
    return v;
}

SIZE MeasureText(HFONT hFont, const std::wstring& s)
{
    HDC hdcScreen = ::GetDC(NULL);
    HDC hdc = ::CreateCompatibleDC(hdcScreen);
    ::ReleaseDC(NULL, hdcScreen);
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    SIZE sz = { 0, 0 };
    ::GetTextExtentPoint32W(hdc, s.c_str(), (int)s.size(), &sz);
    ::SelectObject(hdc, hOld);
    ::DeleteDC(hdc);
    return sz;
}

#include "SomTestSupport.h"
#include <stdio.h>
#include <string.h>

const COLORREF CTestHost::kClassBrushColor = RGB(10, 20, 30);

namespace {

const wchar_t kClassPlain[] = L"KvSomTestHost";
const wchar_t kClassBrush[] = L"KvSomTestHostBrush";

void RegisterHostClasses()
{
    static BOOL s_bDone = FALSE;
    if (s_bDone)
        return;
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.hCursor = ::LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.lpszClassName = kClassPlain;
    ::RegisterClassW(&wc);
    wc.hbrBackground = ::CreateSolidBrush(CTestHost::kClassBrushColor);
    wc.lpszClassName = kClassBrush;
    ::RegisterClassW(&wc);
    s_bDone = TRUE;
}

} // namespace

CTestHost::CTestHost()
    : m_crBk(RGB(0, 255, 0)), m_bClassBackground(FALSE), m_nBkCalls(0), m_hdcLastBk(NULL),
      m_hWndHost(NULL)
{
    SetRectEmpty(&m_rcLastBk);
}

CTestHost::~CTestHost()
{
    DestroyHost();
}

HWND CTestHost::CreateHost(int x, int y, int cx, int cy, DWORD dwExStyle, BOOL bClassBrush)
{
    RegisterHostClasses();
    m_hWndHost = ::CreateWindowExW(dwExStyle, bClassBrush ? kClassBrush : kClassPlain, L"som test",
                                   WS_POPUP, x, y, cx, cy, NULL, NULL, ::GetModuleHandleW(NULL), NULL);
    ::SetWindowLongPtrW(m_hWndHost, GWLP_USERDATA, (LONG_PTR)this);
    ::SetWindowLongPtrW(m_hWndHost, GWLP_WNDPROC, (LONG_PTR)&CTestHost::WndProc);
    // The manager attaches on the first message it sees.
    ::SendMessageW(m_hWndHost, WM_NULL, 0, 0);
    ::ShowWindow(m_hWndHost, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hWndHost);
    return m_hWndHost;
}

void CTestHost::DestroyHost()
{
    if (m_hWndHost != NULL)
        ::DestroyWindow(m_hWndHost);
    m_hWndHost = NULL;
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
    RECT rc;
    if (prc != NULL)
        rc = *prc;
    else
        ::GetClipBox(hdc, &rc);
    HBRUSH hbr = ::CreateSolidBrush(m_crBk);
    ::FillRect(hdc, &rc, hbr);
    ::DeleteObject(hbr);
}

LRESULT CALLBACK CTestHost::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CTestHost* pThis = (CTestHost*)::GetWindowLongPtrW(hWnd, GWLP_USERDATA);
    if (pThis == NULL)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lResult = 0;
    if (pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))
        return lResult;
    if (uMsg == WM_COMMAND) {
        Command c = { wParam, lParam };
        pThis->m_aCommands.push_back(c);
        return 0;
    }
    if (uMsg == WM_TIMER)
        pThis->m_aPassedTimers.push_back((UINT)wParam);
    if (uMsg == WM_NCDESTROY)
        pThis->m_hWndHost = NULL;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

CProbeWnd::CProbeWnd(COLORREF cr)
    : m_cr(cr), m_nSquare(0), m_bCaptureOnDown(FALSE), m_nPaints(0), m_hdcLastPaint(NULL),
      m_pSharedLog(NULL)
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

namespace {

DWORD Crc32(const BYTE* p, size_t n, DWORD crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBE32(std::vector<BYTE>& out, DWORD v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((BYTE)(v >> s));
}

void PutChunk(std::vector<BYTE>& out, const char* pszType, const std::vector<BYTE>& data)
{
    PutBE32(out, (DWORD)data.size());
    std::vector<BYTE> body(pszType, pszType + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, Crc32(body.data(), body.size()));
}

// zlib stream of stored (uncompressed) deflate blocks.
std::vector<BYTE> ZlibStore(const std::vector<BYTE>& raw)
{
    std::vector<BYTE> z;
    z.push_back(0x78);
    z.push_back(0x01);
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back((BYTE)n);
        z.push_back((BYTE)(n >> 8));
        z.push_back((BYTE)~n);
        z.push_back((BYTE)(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    DWORD a = 1, b = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        a = (a + raw[i]) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(z, b << 16 | a);
    return z;
}

} // namespace

std::vector<BYTE> EncodePng(int cx, int cy, int nColorType, const std::vector<BYTE>& pixels,
                            const std::vector<BYTE>& palette)
{
    const int nChannels = nColorType == 6 ? 4 : nColorType == 2 ? 3 : 1;
    std::vector<BYTE> out;
    const BYTE sig[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    out.assign(sig, sig + 8);
    std::vector<BYTE> ihdr;
    PutBE32(ihdr, (DWORD)cx);
    PutBE32(ihdr, (DWORD)cy);
    const BYTE tail[5] = { 8, (BYTE)nColorType, 0, 0, 0 };
    ihdr.insert(ihdr.end(), tail, tail + 5);
    PutChunk(out, "IHDR", ihdr);
    if (nColorType == 3)
        PutChunk(out, "PLTE", palette);
    std::vector<BYTE> raw;
    for (int y = 0; y < cy; ++y) {
        raw.push_back(0);   // filter: none
        const BYTE* pRow = pixels.data() + (size_t)y * cx * nChannels;
        raw.insert(raw.end(), pRow, pRow + (size_t)cx * nChannels);
    }
    PutChunk(out, "IDAT", ZlibStore(raw));
    PutChunk(out, "IEND", std::vector<BYTE>());
    return out;
}

std::wstring WriteTempFile(const wchar_t* pszName, const std::vector<BYTE>& bytes)
{
    wchar_t szDir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szDir);
    std::wstring path = std::wstring(szDir) + pszName;
    FILE* pFile = _wfopen(path.c_str(), L"wb");
    if (pFile != NULL) {
        fwrite(bytes.data(), 1, bytes.size(), pFile);
        fclose(pFile);
    }
    return path;
}

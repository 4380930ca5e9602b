#include "TextTestSupport.h"

namespace {
const WCHAR kHostClass[] = L"KvTextTestHost";
}

CTestHost::CTestHost()
    : m_hHost(NULL), m_nPassedDown(0), m_nInvalidates(0), m_nSetSizes(0)
{
}

CTestHost::~CTestHost()
{
    if (m_hHost != NULL)
        DestroyWindow(m_hHost);
}

BOOL CTestHost::Open(int cx, int cy)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = kHostClass;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    RegisterClassW(&wc);  // fails harmlessly when already registered
    m_hHost = CreateWindowExW(0, kHostClass, L"", WS_POPUP, 0, 0, cx, cy, NULL, NULL,
                              GetModuleHandleW(NULL), this);
    return m_hHost != NULL;
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
    RECT rc;
    if (prc != NULL)
        rc = *prc;
    else
        GetClipBox(hdc, &rc);
    FillRect(hdc, &rc, (HBRUSH)GetStockObject(WHITE_BRUSH));
}

LRESULT CTestHost::Move(int x, int y)
{
    return SendMessageW(m_hHost, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

LRESULT CTestHost::Down(int x, int y)
{
    return SendMessageW(m_hHost, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

LRESULT CTestHost::Up(int x, int y)
{
    return SendMessageW(m_hHost, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

LRESULT CALLBACK CTestHost::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        CREATESTRUCTW* pcs = (CREATESTRUCTW*)lParam;
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, (LONG_PTR)pcs->lpCreateParams);
    }
    CTestHost* pHost = (CTestHost*)GetWindowLongPtrW(hWnd, GWLP_USERDATA);
    if (pHost == NULL)
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lRes = 0;
    if (pHost->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lRes, 0))
        return lRes;
    switch (uMsg) {
    case WM_COMMAND: {
        HostCommand c = { LOWORD(wParam), HIWORD(wParam), lParam };
        pHost->m_commands.push_back(c);
        return 0;
    }
    case WM_LBUTTONDOWN:
        ++pHost->m_nPassedDown;
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        pHost->m_hHost = NULL;
        break;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

CTestCanvas::CTestCanvas(int cx, int cy) : m_hdc(NULL), m_hbm(NULL), m_pBits(NULL), m_cx(cx), m_cy(cy)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pv = NULL;
    m_hbm = CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &pv, NULL, 0);
    m_pBits = (DWORD*)pv;
    m_hdc = CreateCompatibleDC(NULL);
    SelectObject(m_hdc, m_hbm);
    Clear();
}

CTestCanvas::~CTestCanvas()
{
    DeleteDC(m_hdc);
    DeleteObject(m_hbm);
}

void CTestCanvas::Clear()
{
    GdiFlush();
    for (int i = 0; i < m_cx * m_cy; ++i)
        m_pBits[i] = 0x00FFFFFF;
}

COLORREF CTestCanvas::Pixel(int x, int y) const
{
    GdiFlush();
    DWORD v = m_pBits[y * m_cx + x];  // B, G, R bytes from the low end
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int CTestCanvas::InkIn(int left, int top, int right, int bottom) const
{
    GdiFlush();
    int n = 0;
    for (int y = top; y < bottom && y < m_cy; ++y)
        for (int x = left; x < right && x < m_cx; ++x)
            if ((m_pBits[y * m_cx + x] & 0x00FFFFFF) != 0x00FFFFFF)
                ++n;
    return n;
}

std::vector<DWORD> CTestCanvas::Block(int left, int top, int right, int bottom) const
{
    GdiFlush();
    std::vector<DWORD> v;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            v.push_back(m_pBits[y * m_cx + x] & 0x00FFFFFF);
    return v;
}

SIZE MeasureText(HFONT hFont, const std::wstring& s)
{
    HDC hdcScreen = GetDC(NULL);
    HDC hdc = CreateCompatibleDC(hdcScreen);
    ReleaseDC(NULL, hdcScreen);
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    SIZE sz = { 0, 0 };
    GetTextExtentPoint32W(hdc, s.c_str(), (int)s.size(), &sz);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    return sz;
}

std::wstring TestExeDir()
{
    WCHAR sz[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(NULL, sz, MAX_PATH * 2);
    std::wstring s(sz, n);
    // Wine names a program outside every drive "unix\..." (no drive maps "/" here); only
    // the "\\?\unix\..." form of that path opens.
    if (s.compare(0, 5, L"unix\\") == 0)
        s = L"\\\\?\\" + s;
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : s.substr(0, slash + 1);
}

std::wstring TempDir()
{
    WCHAR sz[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH, sz);
    std::wstring s(sz, n);
    if (!s.empty() && s[s.size() - 1] != L'\\')
        s += L'\\';
    return s;
}

std::wstring ReadUtf8File(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::string bytes;
    char buf[4096];
    DWORD cb = 0;
    while (ReadFile(h, buf, sizeof(buf), &cb, NULL) && cb > 0)
        bytes.append(buf, cb);
    CloseHandle(h);
    if (bytes.empty())
        return std::wstring();
    int cch = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), NULL, 0);
    std::wstring w(cch, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &w[0], cch);
    return w;
}

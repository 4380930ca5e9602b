#include "SomButton4.h"
#include "SomWndManager.h"
#include "SomSkin.h"
#include "frame/ScopedSelectObject.h"

namespace {

const int kIconGap = 5;  // between icon and caption
const int kCaptionPadding = 20;
const int kCaptionFont = 3;
const COLORREF kCaptionColor = RGB(0, 0, 0);
const COLORREF kCaptionDisabledColor = RGB(0x66, 0x66, 0x66);

int MeasureCaption(const std::wstring& strText)
{
    SIZE size = { 0, 0 };
    if (g_memDC == NULL)
        return 0;
    CScopedSelectObject font(g_memDC, g_skin.GetFont(kCaptionFont));
    ::GetTextExtentPoint32W(g_memDC, strText.c_str(), (int)strText.size(), &size);
    return size.cx;
}

}  // namespace

CSomButton4::CSomButton4()
    : m_bHover(FALSE), m_bPressed(FALSE), m_pIcon(NULL), m_nIconFrame(0), m_pBkBitmap(NULL), m_nContentLeft(0)
{
}

CSomButton4::~CSomButton4() {}

void CSomButton4::SetBkBitmap(CSomBitmap* pBitmap)
{
    m_pBkBitmap = pBitmap;
    Layout();
}

void CSomButton4::Layout()
{
    m_nContentLeft = 0;
    int cxContent = 0;
    if (m_pIcon != NULL)
        cxContent += m_pIcon->GetFrameWidth();
    if (!m_strText.empty())
        cxContent += MeasureCaption(m_strText);
    if (m_pIcon != NULL && !m_strText.empty())
        cxContent += kIconGap;

    if (m_dwFlags & SWF_AUTOSIZE) {
        if (m_pBkBitmap != NULL) {
            int cx = cxContent + kCaptionPadding;
            if (cx < m_pBkBitmap->GetFrameWidth())
                cx = m_pBkBitmap->GetFrameWidth();
            SetSize(cx, m_pBkBitmap->GetHeight());
            m_nContentLeft = (cx - cxContent) / 2;
        }
    } else {
        m_nContentLeft = (GetWidth() - cxContent) / 2;
    }
    if (m_pManager != NULL)
        Invalidate();
}

int CSomButton4::GetStateFrame() const
{
    if (!IsEnabled())
        return 3;
    if (!m_bHover)
        return 0;
    return m_bPressed ? 2 : 1;
}

void CSomButton4::OnCreate()
{
    m_dwFlags |= SWF_TRANSPARENT;
    m_bHover = FALSE;
    m_bPressed = FALSE;
}

void CSomButton4::OnPaint(HDC hdc, int nClipRight, int nPart)
{
    (void)nClipRight;
    (void)nPart;
    const int cy = GetHeight();
    if (m_pBkBitmap != NULL)
        m_pBkBitmap->DrawHStretch(hdc, 0, 0, GetWidth(), GetStateFrame());

    int x = m_nContentLeft;
    if (m_pIcon != NULL) {
        m_pIcon->Draw(hdc, x, (cy - m_pIcon->GetHeight()) / 2, m_nIconFrame);
        x += m_pIcon->GetFrameWidth() + kIconGap;
    }
    if (m_strText.empty())
        return;

    ::SetBkMode(hdc, TRANSPARENT);
    CScopedSelectObject font(hdc, g_skin.GetFont(kCaptionFont));
    COLORREF crOld = ::SetTextColor(hdc, IsEnabled() ? kCaptionColor : kCaptionDisabledColor);
    TEXTMETRICW tm;
    ZeroMemory(&tm, sizeof(tm));
    ::GetTextMetricsW(hdc, &tm);
    const int cyBk = m_pBkBitmap != NULL ? m_pBkBitmap->GetHeight() : 0;
    int y = (cyBk - tm.tmHeight) / 2;
    if (!m_bPressed)
        y -= 1;  // the caption sits one pixel lower while pressed
    ::TextOutW(hdc, x, y, m_strText.c_str(), (int)m_strText.size());
    ::SetTextColor(hdc, crOld);
}

void CSomButton4::OnCaptureLost()
{
    if (!m_bPressed)
        return;
    m_bPressed = FALSE;
    Invalidate();
    if (m_bHover && m_pManager != NULL)
        m_pManager->SendCommand(this, 0, (WORD)m_nID);
}

BOOL CSomButton4::OnLButtonDown(POINT& pt)
{
    (void)pt;
    if (m_bPressed)
        return TRUE;
    m_bPressed = TRUE;
    Invalidate();
    if (m_pManager != NULL)
        m_pManager->SetWndCapture(this);
    return TRUE;
}

BOOL CSomButton4::OnLButtonUp(POINT& pt)
{
    (void)pt;
    if (m_bPressed && m_pManager != NULL)
        m_pManager->ReleaseWndCapture(this);
    return TRUE;
}

BOOL CSomButton4::OnLButtonDblClk(POINT& pt) { return OnLButtonDown(pt); }

void CSomButton4::OnMouseEnter(POINT& pt)
{
    (void)pt;
    if (m_bHover)
        return;
    m_bHover = TRUE;
    Invalidate();
}

void CSomButton4::OnMouseLeave()
{
    if (!m_bHover)
        return;
    m_bHover = FALSE;
    Invalidate();
}

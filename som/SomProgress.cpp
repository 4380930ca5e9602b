#include "SomProgress.h"

CSomProgress::CSomProgress() : m_pBitmap(NULL), m_nPercent(0) {}

CSomProgress::~CSomProgress() {}

void CSomProgress::SetPercent(int nPercent)
{
    m_nPercent = nPercent;
    Invalidate();
}

void CSomProgress::OnPaint(HDC hdc, int nClipRight, int nPart)
{
    (void)nClipRight;
    (void)nPart;
    if (m_pBitmap == NULL)
        return;
    // Sizes come from the picture, not the element: the manager cuts the result to the element.
    const int cx = m_pBitmap->GetFrameWidth();
    const int cy = m_pBitmap->GetHeight();
    m_pBitmap->DrawPart(hdc, 0, 0, cx, cy / 3, 0, 0, 0);
    m_pBitmap->DrawPart(hdc, 0, 0, cx * m_nPercent / 100, 2 * cy / 3, 0, cy / 3, 0);
}

#include "SomImageWnd.h"

CSomImageWnd::CSomImageWnd() : m_pBitmap(NULL), m_nFrame(0) {}

CSomImageWnd::~CSomImageWnd() {}

void CSomImageWnd::SetImage(CSomBitmap* pBitmap, int nFrame)
{
    m_nFrame = nFrame;
    m_pBitmap = pBitmap;
    ApplyImage();
    Invalidate();
}

void CSomImageWnd::OnCreate() { ApplyImage(); }

void CSomImageWnd::OnPaint(HDC hdc, int nClipRight, int nPart)
{
    (void)nClipRight;
    (void)nPart;
    if (m_pBitmap != NULL)
        m_pBitmap->Draw(hdc, 0, 0, m_nFrame);
}

void CSomImageWnd::ApplyImage()
{
    if (m_pBitmap == NULL)
        return;
    if (m_dwFlags & SWF_AUTOSIZE)
        SetSize(m_pBitmap->GetFrameWidth(), m_pBitmap->GetHeight());
    // Only pictures with see-through pixels need the host background under them.
    if (m_pBitmap->HasAlpha())
        m_dwFlags |= SWF_TRANSPARENT;
    else
        m_dwFlags &= ~(DWORD)SWF_TRANSPARENT;
}

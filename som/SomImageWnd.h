// CSomImageWnd: an element that shows one frame of a skin bitmap. It consumes no mouse
// input; the host hit-tests its rectangle itself (option marks, check boxes, pictures).
#pragma once
#include "SomWnd.h"
#include "SomBitmap.h"

class CSomImageWnd : public CSomWnd
{
public:
    CSomBitmap* m_pBitmap;  // not owned
    int m_nFrame;

    CSomImageWnd();
    ~CSomImageWnd() override;

    void SetImage(CSomBitmap* pBitmap, int nFrame);
    void OnCreate() override;
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;

private:
    void ApplyImage();
};

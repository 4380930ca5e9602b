// CSomProgress: a horizontal progress bar drawn from a three-band bitmap (track, fill,
// the fill's shadow). It paints past its own rectangle; the manager clips it there.
#pragma once
#include "SomWnd.h"
#include "SomBitmap.h"

class CSomProgress : public CSomWnd
{
public:
    CSomBitmap* m_pBitmap;  // not owned
    int m_nPercent;

    CSomProgress();
    ~CSomProgress() override;

    void SetBitmap(CSomBitmap* pBitmap) { m_pBitmap = pBitmap; }
    void SetPercent(int nPercent);
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;
};

// CSomButton4: a push button drawn from a four-frame bitmap (normal, hover, pressed,
// disabled). A press takes the mouse capture; losing it while hovered sends WM_COMMAND
// with m_nID to the host through the manager.
#pragma once
#include <string>
#include "SomWnd.h"
#include "SomBitmap.h"

class CSomButton4 : public CSomWnd
{
public:
    BYTE m_bHover;
    BYTE m_bPressed;
    std::wstring m_strText;
    CSomBitmap* m_pIcon;  // not owned
    int m_nIconFrame;
    CSomBitmap* m_pBkBitmap;  // not owned
    int m_nContentLeft;       // element coordinates

    CSomButton4();
    ~CSomButton4() override;

    void SetBkBitmap(CSomBitmap* pBitmap);

    void OnCreate() override;
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;
    void OnCaptureLost() override;
    BOOL OnLButtonDown(POINT& pt) override;
    BOOL OnLButtonUp(POINT& pt) override;
    BOOL OnLButtonDblClk(POINT& pt) override;
    void OnMouseEnter(POINT& pt) override;
    void OnMouseLeave() override;

    // The frame OnPaint draws for the current state.
    int GetStateFrame() const;

private:
    void Layout();
};

// CSomTextWnd: an element that shows one line of markup text. It sizes itself to the
// text, paints each run in its font and colour, shows the hand cursor over links and acts
// on a clicked link: "button:N" is sent to the host as WM_COMMAND, anything else is opened.
#pragma once
#include <string>
#include <vector>
#include "som/SomWnd.h"
#include "SomMarkup.h"

class CSomTextWnd : public CSomWnd
{
public:
    std::wstring m_strText;
    std::vector<SomTextRun> m_aRuns;  // owned
    HFONT m_hFont;                    // not owned
    COLORREF m_crText;
    COLORREF m_crLink;
    COLORREF m_crLinkHover;
    int m_nMaxWidth;  // element coordinates; -1 = none
    int m_nHoverRun;
    int m_nPressedRun;

    CSomTextWnd();
    ~CSomTextWnd() override;

    void SetText(LPCWSTR pszMarkup);
    void SetFont(HFONT hFont);
    void SetTextColor(COLORREF cr);
    void SetLinkColors(COLORREF crLink, COLORREF crHover);
    void SetMaxWidth(int nMaxWidth);
    void RecalcLayout();

    void OnCreate() override;
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;
    void OnCaptureLost() override;
    BOOL OnSetCursor(POINT& pt) override;
    BOOL OnLButtonDown(POINT& pt) override;
    BOOL OnLButtonUp(POINT& pt) override;
    BOOL OnLButtonDblClk(POINT& pt) override;
    BOOL OnMouseMove(POINT& pt) override;
    void OnMouseLeave() override;

    // The colour run i is painted in.
    COLORREF GetRunColor(int i) const;

private:
    void PaintRun(HDC hdc, int nClipRight, int i);
    void InvalidateRun(int i);
    void DoLinkAction(const std::wstring& strLink);
};

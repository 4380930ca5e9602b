// CProbeWnd: a test element that fills its rectangle (or only a square at its corner) and
// logs every event the manager gives it, for tests of the manager and its hosts.
#pragma once
#include <windows.h>
#include <climits>
#include <string>
#include <vector>
#include "som/SomWnd.h"

class CProbeWnd : public CSomWnd
{
public:
    COLORREF m_cr;
    int m_nSquare;  // > 0: paint only an m_nSquare square at (2, 2)
    BOOL m_bCaptureOnDown;
    int m_nPaints;
    HDC m_hdcLastPaint;                      // not owned
    std::vector<std::string> m_aLog;         // "down 4,10", "enter 1,2", "leave", "lost", ...
    std::vector<std::string>* m_pSharedLog;  // not owned; also receives "<name> <event>"
    std::string m_strName;

    explicit CProbeWnd(COLORREF cr = RGB(255, 0, 0));

    void OnCreate() override { Log("create"); }
    void OnDestroy() override { Log("destroy"); }
    void OnMove(int x, int y) override { Log("move", x, y); }
    void OnSize(int cx, int cy) override { Log("size", cx, cy); }
    void OnPaint(HDC hdc, int nClipRight, int nPart) override;
    void OnCaptureLost() override { Log("lost"); }
    BOOL OnLButtonDown(POINT& pt) override;
    BOOL OnLButtonUp(POINT& pt) override;
    BOOL OnSetCursor(POINT& pt) override
    {
        Log("cursor", pt.x, pt.y);
        return TRUE;
    }
    BOOL OnMouseMove(POINT& pt) override
    {
        Log("movemouse", pt.x, pt.y);
        return FALSE;
    }
    void OnMouseEnter(POINT& pt) override { Log("enter", pt.x, pt.y); }
    void OnMouseLeave() override { Log("leave"); }
    void OnGetToolTipText(int nSubId, NMTTDISPINFOW* pInfo) override;

    BOOL Logged(const std::string& s) const;
    void Log(const char* psz, int a = INT_MIN, int b = INT_MIN);
};

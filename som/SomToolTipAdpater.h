// The tooltip registry of an element manager: hands out tool ids for (element, sub-id)
// pairs, forwards them to an attached tooltip control and routes its text requests back
// to the element. A base of CSomWndManager; no host in this program attaches a control.
// "Adpater" is the class's established spelling, kept deliberately.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <map>

class CSomWnd;

struct SomToolRecord
{
    CSomWnd* pWnd;  // not owned
    int nSubId;
    RECT rcTool;  // element coordinates; left 0x80000000 = the whole element
};

class CSomToolTipAdpater
{
public:
    std::map<int, SomToolRecord> m_mapTools;
    std::map<CSomWnd*, std::map<int, int>> m_mapWndTools;  // element (not owned) -> sub-id -> tool id
    HWND m_wndToolTip;                                     // the tooltip control, or null; not owned
    HWND m_hWndOwner;                                      // the host window the tools belong to; not owned

    CSomToolTipAdpater();

    int AddTool(CSomWnd* pWnd, int nSubId, const RECT* prcTool);
    void RemoveTools(CSomWnd* pWnd);
    // TTN_GETDISPINFOW; FALSE when the request names a window (TTF_IDISHWND) and is not ours.
    BOOL OnGetDispInfo(NMTTDISPINFOW* pInfo);
};

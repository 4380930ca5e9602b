// CTrayIconImpl<T>: the notification-area icon mix-in of the main dialog. It adds the icon
// once, answers its callback message (right click: the host's ShowTrayMenu; double click:
// show or hide the host window) and deletes the icon when the object is destroyed.
// T provides GetTrayWindow() (its window) and ShowTrayMenu(POINT) (screen coordinates), and
// chains this class's message map.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "frame/MsgMap.h"

// NOTIFYICONDATAW up to and including guidItem: the size Windows XP introduced.
#define TRAY_NID_SIZE 952

template <class T>
class CTrayIconImpl
{
public:
    UINT m_uTrayMsg;  // registered "WM_TRAYICON"
    BOOL m_bTrayAdded;
    NOTIFYICONDATAW m_nid;

    CTrayIconImpl() : m_uTrayMsg(::RegisterWindowMessageW(L"WM_TRAYICON")), m_bTrayAdded(FALSE)
    {
        static_assert(sizeof(NOTIFYICONDATAW) >= TRAY_NID_SIZE, "NOTIFYICONDATAW too small");
        ZeroMemory(&m_nid, sizeof(m_nid));
        m_nid.cbSize = TRAY_NID_SIZE;
    }

    virtual ~CTrayIconImpl() { RemoveTrayIcon(); }

    // Any of the three texts may be null. FALSE without any call once the icon is added.
    BOOL AddTrayIcon(HICON hIcon, LPCWSTR pszTip, LPCWSTR pszInfo, LPCWSTR pszInfoTitle, UINT nID)
    {
        if (m_bTrayAdded)
            return FALSE;
        m_nid.hWnd = static_cast<T*>(this)->GetTrayWindow();
        m_nid.uID = nID;
        m_nid.hIcon = hIcon;
        m_nid.uCallbackMessage = m_uTrayMsg;
        m_nid.uFlags = NIF_MESSAGE | NIF_ICON;
        if (pszTip != NULL) {
            m_nid.uFlags |= NIF_TIP;
            ::lstrcpynW(m_nid.szTip, pszTip, ARRAYSIZE(m_nid.szTip));
        }
        if (pszInfo != NULL) {
            m_nid.uFlags |= NIF_INFO;
            ::lstrcpynW(m_nid.szInfo, pszInfo, ARRAYSIZE(m_nid.szInfo));
        }
        if (pszInfoTitle != NULL)
            ::lstrcpynW(m_nid.szInfoTitle, pszInfoTitle, ARRAYSIZE(m_nid.szInfoTitle));
        m_bTrayAdded = ::Shell_NotifyIconW(NIM_ADD, &m_nid);
        return m_bTrayAdded;
    }

    BOOL RemoveTrayIcon()
    {
        if (!m_bTrayAdded)
            return TRUE;
        m_nid.uFlags = 0;
        BOOL bRet = ::Shell_NotifyIconW(NIM_DELETE, &m_nid);
        m_bTrayAdded = FALSE;
        return bRet;
    }

    // Changes the tip of an added icon (cut to the tip field); the balloon is not shown again.
    BOOL SetTrayTip(LPCWSTR pszTip)
    {
        if (!m_bTrayAdded || ::lstrcmpW(m_nid.szTip, pszTip) == 0)
            return FALSE;
        ::lstrcpynW(m_nid.szTip, pszTip, ARRAYSIZE(m_nid.szTip));
        m_nid.uFlags = NIF_TIP;
        return ::Shell_NotifyIconW(NIM_MODIFY, &m_nid);
    }

    BEGIN_MSG_MAP(CTrayIconImpl)
    MESSAGE_HANDLER(m_uTrayMsg, OnTrayIcon)
    END_MSG_MAP()

    // wParam: the icon id; lParam: the mouse message. Handled with result 0, unless the
    // message could not be registered (0 is no message of ours).
    LRESULT OnTrayIcon(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        (void)uMsg;
        bHandled = m_uTrayMsg != 0;
        if (!bHandled || (UINT)wParam != m_nid.uID)
            return 0;
        T* pT = static_cast<T*>(this);
        HWND hWnd = pT->GetTrayWindow();
        switch ((UINT)lParam) {
        case WM_RBUTTONUP: {
            POINT pt;
            ::GetCursorPos(&pt);
            pT->ShowTrayMenu(pt);
            ::PostMessageW(hWnd, WM_NULL, 0, 0);
            break;
        }
        case WM_LBUTTONDBLCLK:
            if (::IsIconic(hWnd)) {
                ::ShowWindow(hWnd, SW_RESTORE);
            } else if (!::IsWindowVisible(hWnd)) {
                ::ShowWindow(hWnd, SW_SHOW);
                ::BringWindowToTop(hWnd);
                ::SetForegroundWindow(hWnd);
            } else {
                ::ShowWindow(hWnd, SW_HIDE);
            }
            break;
        }
        return 0;
    }

    // The x at which a menu for the screen point (x, y) opens: pulled into the nearest
    // monitor's work area when the point lies on no monitor. y is never corrected.
    static int ClampToWorkArea(int x, int y)
    {
        POINT pt = { x, y };
        if (::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL) != NULL)
            return x;
        HMONITOR hMon = ::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
        MONITORINFO mi;
        ZeroMemory(&mi, sizeof(mi));
        mi.cbSize = sizeof(mi);
        if (hMon == NULL || !::GetMonitorInfoW(hMon, &mi))
            return x;
        if (x < mi.rcWork.left)
            return mi.rcWork.left;
        if (x > mi.rcWork.right)
            return mi.rcWork.right;
        return x;
    }
};

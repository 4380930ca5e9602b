#include "HealthNotice.h"
#include <shlwapi.h>
#include "MainDlg.h"
#include "TimeUtil.h"

static const DWORD kOldInstallDays = 90;

DWORD GetInstallDate()
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwValue = 0;
    DWORD dwType = 0;
    DWORD cb = sizeof(dwValue);
    LONG lRet = ::RegQueryValueExW(hKey, L"InstallDate", NULL, &dwType, (LPBYTE)&dwValue, &cb);
    ::RegCloseKey(hKey);
    if (lRet != ERROR_SUCCESS || dwType != REG_DWORD)
        return 0;
    return dwValue;
}

DWORD GetInstallAgeDays(DWORD dwInstallDate, DWORD dwNow)
{
    return (DWORD)(dwNow - dwInstallDate) / 86400;
}

void FormatHealthNotice(LPWSTR pszOut, int cchOut, DWORD dwInstallDate, DWORD dwNow)
{
    DWORD dwDays = GetInstallAgeDays(dwInstallDate, dwNow);
    if (dwDays > kOldInstallDays)
        ::wnsprintfW(pszOut, cchOut,
                     L"{&#font=6}{&#color=0x484848}系统体检，你的操作系统安装已经超过%u天，性能正在下降，建议立即更新系统。{&#/color}{&#/font}",
                     dwDays);
    else
        ::wnsprintfW(pszOut, cchOut,
                     L"{&#font=6}{&#color=0x484848}系统体检，你的操作系统存在较多垃圾，性能正在下降，建议立即更新系统。{&#/color}{&#/font}");
}

BOOL CMainDlg::ShowHealthNotice()
{
    DWORD dwInstall = GetInstallDate();
    DWORD dwNow = GetUnixTimeNow();
    WCHAR szText[2048];
    FormatHealthNotice(szText, ARRAYSIZE(szText), dwInstall, dwNow);
    m_wndHealth.SetText(szText);

    // Centred horizontally; the top edge stays where the layout put it.
    RECT rcClient;
    ::GetClientRect(m_hWnd, &rcClient);
    int x = ((rcClient.right - rcClient.left) - m_wndHealth.GetWidth()) / 2;
    SetWndPos(&m_wndHealth, x, m_wndHealth.m_rcWnd.top);
    return TRUE;
}

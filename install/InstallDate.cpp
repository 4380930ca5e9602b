#include "TimeUtil.h"

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

#include "HealthNotice.h"
#include <shlwapi.h>

static const DWORD kOldInstallDays = 90;

DWORD GetInstallAgeDays(DWORD dwInstallDate, DWORD dwNow) { return (DWORD)(dwNow - dwInstallDate) / 86400; }

void FormatHealthNotice(LPWSTR pszOut, int cchOut, DWORD dwInstallDate, DWORD dwNow)
{
    DWORD dwDays = GetInstallAgeDays(dwInstallDate, dwNow);
    if (dwDays > kOldInstallDays)
        ::wnsprintfW(pszOut, cchOut,
                     L"{&#font=6}{&#color=0x484848}系统体检，你的操作系统安装已经超过%"
                     L"u天，性能正在下降，建议立即更新系统。{&#/color}{&#/font}",
                     dwDays);
    else
        ::wnsprintfW(pszOut, cchOut,
                     L"{&#font=6}{&#color=0x484848}"
                     L"系统体检，你的操作系统存在较多垃圾，性能正在下降，建议立即更新系统。{&#/color}{&#/font}");
}

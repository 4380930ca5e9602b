#include "BuildTime.h"
#include <imagehlp.h>
#include <shlwapi.h>
#include "TimeUtil.h"

DWORD GetProgramLinkTime() { return ::GetTimestampForLoadedLibrary(::GetModuleHandleW(NULL)); }

void FormatBuildTimeLine(LPWSTR pszOut, int cchOut, DWORD dwTimeStamp)
{
    if (pszOut == NULL || cchOut <= 0)
        return;
    FILETIME ft;
    SYSTEMTIME st;
    ZeroMemory(&st, sizeof(st));
    UnixTimeToFileTime(dwTimeStamp, &ft);
    ::FileTimeToSystemTime(&ft, &st);  // UTC: no conversion to local time
    ::wnsprintfW(pszOut, cchOut < 255 ? cchOut : 255,
                 L"{&#font=1}{&#color=0xC0C0C0}buile time : %.4u-%.2u-%.2u %.2u:%.2u.%.2u{&#/color}{&#/font}", st.wYear,
                 st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

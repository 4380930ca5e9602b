#include "TimeUtil.h"

DWORD GetUnixTimeNow()
{
    SYSTEMTIME st;
    FILETIME ft;
    ::GetSystemTime(&st);
    ::SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (DWORD)((u.QuadPart - UNIX_EPOCH_FILETIME) / 10000000ULL);
}

BOOL UnixTimeToFileTime(DWORD dwSeconds, FILETIME* pft)
{
    if (pft == NULL)
        return FALSE;
    ULARGE_INTEGER u;
    u.QuadPart = UInt32x32To64(dwSeconds, 10000000) + UNIX_EPOCH_FILETIME;
    pft->dwLowDateTime = u.LowPart;
    pft->dwHighDateTime = u.HighPart;
    return TRUE;
}

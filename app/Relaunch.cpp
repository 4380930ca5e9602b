#include "Relaunch.h"
#include <shellapi.h>
#include <shlwapi.h>

BOOL HasElevationMarker(LPCWSTR pszArgs)
{
    return pszArgs != NULL && ::StrStrIW(pszArgs, RELAUNCH_MARKER) != NULL;
}

BOOL BuildRelaunchParams(LPCWSTR pszArgs, LPWSTR pszOut, int cchOut)
{
    const int cchMarker = 4;
    if (pszOut == NULL || cchOut <= cchMarker)
        return FALSE;
    // Room for the arguments: what the buffer holds less the marker and the terminator.
    int cchArgsMax = cchOut - cchMarker - 1;
    ::lstrcpynW(pszOut, pszArgs != NULL ? pszArgs : L"", cchArgsMax + 1);
    int cch = ::lstrlenW(pszOut);
    // A cut must not leave half of a surrogate pair before the marker.
    if (cch == cchArgsMax && cch > 0 && pszOut[cch - 1] >= 0xD800 && pszOut[cch - 1] <= 0xDBFF)
        pszOut[--cch] = L'\0';
    ::lstrcpynW(pszOut + cch, RELAUNCH_MARKER, cchOut - cch);
    return TRUE;
}

void RelaunchElevated(LPCWSTR pszModule, LPCWSTR pszArgs)
{
    WCHAR szParams[RELAUNCH_PARAMS_CCH];
    BuildRelaunchParams(pszArgs, szParams, RELAUNCH_PARAMS_CCH);
    ::ShellExecuteW(NULL, L"runas", pszModule, szParams, NULL, SW_SHOWNORMAL);
}

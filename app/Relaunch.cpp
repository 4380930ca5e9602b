#include "Relaunch.h"
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include "FailureBox.h"

PFN_ISUSERANADMIN g_pfnIsUserAnAdmin = NULL;
PFN_SHELLEXECUTEW g_pfnShellExecuteW = NULL;

BOOL HasElevationMarker(LPCWSTR pszArgs) { return pszArgs != NULL && ::StrStrIW(pszArgs, RELAUNCH_MARKER) != NULL; }

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
    PFN_SHELLEXECUTEW pfnShellExecute = g_pfnShellExecuteW != NULL ? g_pfnShellExecuteW : ::ShellExecuteW;
    pfnShellExecute(NULL, L"runas", pszModule, szParams, NULL, SW_SHOWNORMAL);
}

BOOL EnsureElevated(LPCWSTR pszModule, LPCWSTR pszArgs)
{
    PFN_ISUSERANADMIN pfnIsAdmin = g_pfnIsUserAnAdmin != NULL ? g_pfnIsUserAnAdmin : ::IsUserAnAdmin;
    if (pfnIsAdmin())
        return TRUE;
    // The marker says this already is the elevated copy: it must not re-launch again.
    if (HasElevationMarker(pszArgs))
        ShowFailureBox(L"提权失败", L"Korvane一键装机需要提权运行", L"请使用管理员用户登录后再次尝试。");
    else
        RelaunchElevated(pszModule, pszArgs);
    return FALSE;
}

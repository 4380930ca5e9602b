#include "ProxyConfig.h"
#include "Internal.h"
#include <winhttp.h>

static void Take(LPWSTR pszDst, int cchDst, LPCWSTR pszSrc)
{
    lstrcpynW(pszDst, pszSrc != NULL ? pszSrc : L"", cchDst);
}

static void FreeProxyInfo(WINHTTP_PROXY_INFO* pInfo)
{
    if (pInfo->lpszProxy != NULL)
        ::GlobalFree(pInfo->lpszProxy);
    if (pInfo->lpszProxyBypass != NULL)
        ::GlobalFree(pInfo->lpszProxyBypass);
}

// Runs the configuration script or auto-detection for the address.
static BOOL ProxyFromScript(LPCWSTR pszUrl, LPCWSTR pszScriptUrl, LPWSTR pszProxy, int cchProxy, LPWSTR pszBypass,
                            int cchBypass)
{
    HINTERNET hSession = ::WinHttpOpen(L"Korvane-DLEngine/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0);
    if (hSession == NULL)
        return FALSE;
    ::WinHttpSetTimeouts(hSession, 5000, 5000, 5000, 5000);
    WINHTTP_AUTOPROXY_OPTIONS opts;
    ZeroMemory(&opts, sizeof(opts));
    if (pszScriptUrl != NULL) {
        opts.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        opts.lpszAutoConfigUrl = pszScriptUrl;
    } else {
        opts.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        opts.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    opts.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info;
    ZeroMemory(&info, sizeof(info));
    BOOL bFound = FALSE;
    if (::WinHttpGetProxyForUrl(hSession, pszUrl, &opts, &info)) {
        if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != NULL &&
            info.lpszProxy[0] != L'\0') {
            Take(pszProxy, cchProxy, info.lpszProxy);
            Take(pszBypass, cchBypass, info.lpszProxyBypass);
            bFound = TRUE;
        }
        FreeProxyInfo(&info);
    }
    ::WinHttpCloseHandle(hSession);
    return bFound;
}

BOOL FindSystemProxy(LPCWSTR pszUrl, LPWSTR pszProxy, int cchProxy, LPWSTR pszBypass, int cchBypass)
{
    pszProxy[0] = L'\0';
    pszBypass[0] = L'\0';
    BOOL bFound = FALSE;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie;
    ZeroMemory(&ie, sizeof(ie));
    if (::WinHttpGetIEProxyConfigForCurrentUser(&ie)) {
        if (ie.lpszAutoConfigUrl != NULL && ie.lpszAutoConfigUrl[0] != L'\0')
            bFound = ProxyFromScript(pszUrl, ie.lpszAutoConfigUrl, pszProxy, cchProxy, pszBypass, cchBypass);
        else if (ie.fAutoDetect)
            bFound = ProxyFromScript(pszUrl, NULL, pszProxy, cchProxy, pszBypass, cchBypass);
        if (!bFound && ie.lpszProxy != NULL && ie.lpszProxy[0] != L'\0') {
            Take(pszProxy, cchProxy, ie.lpszProxy);
            Take(pszBypass, cchBypass, ie.lpszProxyBypass);
            bFound = TRUE;
        }
        if (ie.lpszAutoConfigUrl != NULL)
            ::GlobalFree(ie.lpszAutoConfigUrl);
        if (ie.lpszProxy != NULL)
            ::GlobalFree(ie.lpszProxy);
        if (ie.lpszProxyBypass != NULL)
            ::GlobalFree(ie.lpszProxyBypass);
    }
    if (!bFound) {
        WINHTTP_PROXY_INFO info;
        ZeroMemory(&info, sizeof(info));
        if (::WinHttpGetDefaultProxyConfiguration(&info)) {
            if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != NULL &&
                info.lpszProxy[0] != L'\0') {
                Take(pszProxy, cchProxy, info.lpszProxy);
                Take(pszBypass, cchBypass, info.lpszProxyBypass);
                bFound = TRUE;
            }
            FreeProxyInfo(&info);
        }
    }
    return bFound;
}

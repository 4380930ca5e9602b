#include "ImageSource.h"
#include <shlwapi.h>

ImageSource g_srcXP;
ImageSource g_srcWin7;

BOOL ParseImageSize(LPCWSTR psz, ULONGLONG* pull)
{
    ULONGLONG ull = 0;
    int n = 0;
    for (; psz[n] != L'\0'; ++n) {
        if (psz[n] < L'0' || psz[n] > L'9' || n >= 20)
            return FALSE;
        ULONGLONG digit = (ULONGLONG)(psz[n] - L'0');
        if (ull > (~0ULL - digit) / 10)
            return FALSE;
        ull = ull * 10 + digit;
    }
    if (ull == 0)
        return FALSE;
    *pull = ull;
    return TRUE;
}

BOOL ParseSha256(LPCWSTR psz, LPWSTR pszOut)
{
    WCHAR sz[IMAGE_SOURCE_SHA256_CHARS + 1];
    int n = 0;
    for (; psz[n] != L'\0'; ++n) {
        if (n >= IMAGE_SOURCE_SHA256_CHARS)
            return FALSE;
        WCHAR c = psz[n];
        if (c >= L'A' && c <= L'F')
            c = (WCHAR)(c - L'A' + L'a');
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return FALSE;
        sz[n] = c;
    }
    if (n != IMAGE_SOURCE_SHA256_CHARS)
        return FALSE;
    sz[n] = L'\0';
    ::lstrcpynW(pszOut, sz, IMAGE_SOURCE_SHA256_CHARS + 1);
    return TRUE;
}

void ReadImageSource(LPCWSTR pszIniPath, LPCWSTR pszSection, ImageSource* pSource)
{
    ZeroMemory(pSource, sizeof(*pSource));
    UINT nKeys = ::GetPrivateProfileIntW(pszSection, L"urlcount", 0, pszIniPath);
    if (nKeys < 1)
        nKeys = 1;
    if (nKeys > IMAGE_SOURCE_MAX_KEYS)
        nKeys = IMAGE_SOURCE_MAX_KEYS;
    for (UINT i = 1; i <= nKeys && pSource->nUrls < IMAGE_SOURCE_MAX_URLS; ++i) {
        WCHAR szKey[64];
        ::wnsprintfW(szKey, ARRAYSIZE(szKey), L"url%d", (int)i);
        LPWSTR pszUrl = pSource->aszUrls[pSource->nUrls];
        ::GetPrivateProfileStringW(pszSection, szKey, L"", pszUrl, ARRAYSIZE(pSource->aszUrls[0]), pszIniPath);
        if (pszUrl[0] != L'\0')
            pSource->nUrls++;
    }

    // Values longer than any valid one are cut to a length that still fails the parse.
    WCHAR szValue[IMAGE_SOURCE_SHA256_CHARS + 4];
    ::GetPrivateProfileStringW(pszSection, L"size", L"", szValue, ARRAYSIZE(szValue), pszIniPath);
    if (!ParseImageSize(szValue, &pSource->ullSize))
        pSource->ullSize = 0;
    ::GetPrivateProfileStringW(pszSection, L"sha256", L"", szValue, ARRAYSIZE(szValue), pszIniPath);
    if (!ParseSha256(szValue, pSource->szSha256))
        pSource->szSha256[0] = L'\0';
}

int OrderImageUrls(LPCWSTR pszChosen, const ImageSource& source, LPCWSTR* ppszOut, int nMax)
{
    int n = 0;
    if (pszChosen != NULL && pszChosen[0] != L'\0' && n < nMax)
        ppszOut[n++] = pszChosen;
    for (int i = 0; i < source.nUrls && n < nMax; ++i) {
        BOOL bSeen = FALSE;
        for (int k = 0; k < n && !bSeen; ++k)
            bSeen = ::lstrcmpW(ppszOut[k], source.aszUrls[i]) == 0;
        if (!bSeen)
            ppszOut[n++] = source.aszUrls[i];
    }
    return n;
}

#include "Catalogue.h"
#include "ImageSource.h"
#include <shlwapi.h>
#include <urlmon.h>
#include <wininet.h>

WCHAR g_szXPUrl[CATALOGUE_URL_CCH];
WCHAR g_szWin7Url[CATALOGUE_URL_CCH];

UINT RandomIndex(UINT n, PFN_TICKCOUNT pfnTick) { return n == 0 ? 0 : (UINT)(pfnTick() % n); }

BOOL FetchCatalogue(LPCWSTR pszUrl, LPCWSTR pszFolder, LPWSTR pszLocalPath)
{
    ::lstrcpynW(pszLocalPath, pszFolder, MAX_PATH + 4);
    if (!::PathAppendW(pszLocalPath, CATALOGUE_FILE_NAME))
        return FALSE;

    ::DeleteUrlCacheEntryW(pszUrl);
    HRESULT hr = ::URLDownloadToFileW(NULL, pszUrl, pszLocalPath, 0, NULL);
    if (FAILED(hr)) {
        // A failed transfer may leave a partial copy; nothing of this step may remain.
        ::DeleteFileW(pszLocalPath);
        return FALSE;
    }
    return TRUE;
}

static void ReadChosenUrl(LPCWSTR pszIniPath, LPCWSTR pszSection, UINT nIndex, LPWSTR pszOut)
{
    WCHAR szKey[64];
    ::wnsprintfW(szKey, ARRAYSIZE(szKey), L"url%d", (int)nIndex);
    ::GetPrivateProfileStringW(pszSection, szKey, L"", pszOut, CATALOGUE_URL_CCH, pszIniPath);
}

void ReadCatalogue(LPCWSTR pszIniPath, PFN_TICKCOUNT pfnTick)
{
    UINT nXpCount = ::GetPrivateProfileIntW(L"WINXP", L"urlcount", 0, pszIniPath);
    UINT nWin7Count = ::GetPrivateProfileIntW(L"WIN7", L"urlcount", 0, pszIniPath);
    UINT nXpIndex = RandomIndex(nXpCount, pfnTick) + 1;
    UINT nWin7Index = RandomIndex(nWin7Count, pfnTick) + 1;
    ReadChosenUrl(pszIniPath, L"WINXP", nXpIndex, g_szXPUrl);
    ReadChosenUrl(pszIniPath, L"WIN7", nWin7Index, g_szWin7Url);
    ReadImageSource(pszIniPath, L"WINXP", &g_srcXP);
    ReadImageSource(pszIniPath, L"WIN7", &g_srcWin7);
}

// The folder the start-up fetch used: the run's private folder, for later fetches too.
static WCHAR s_szFolder[MAX_PATH + 4];

BOOL LoadCatalogue(LPCWSTR pszUrl, LPCWSTR pszFolder)
{
    ::lstrcpynW(s_szFolder, pszFolder, ARRAYSIZE(s_szFolder));
    WCHAR szLocal[MAX_PATH + 4];
    if (!FetchCatalogue(pszUrl, pszFolder, szLocal))
        return FALSE;
    ReadCatalogue(szLocal);
    ::DeleteFileW(szLocal);
    return TRUE;
}

BOOL ReloadCatalogue(LPCWSTR pszUrl) { return s_szFolder[0] != L'\0' && LoadCatalogue(pszUrl, s_szFolder); }

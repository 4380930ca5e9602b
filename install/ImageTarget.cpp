#include "ImageTarget.h"
#include <shlwapi.h>

static const ULONGLONG kMinFreeXP = 1ULL << 30;
static const ULONGLONG kMinFreeWin7 = 4ULL << 30;

static PFN_GetDiskFreeSpaceExW s_pfnFreeSpace = ::GetDiskFreeSpaceExW;

void SetDiskFreeSpaceQuery(PFN_GetDiskFreeSpaceExW pfnQuery)
{
    s_pfnFreeSpace = pfnQuery != NULL ? pfnQuery : ::GetDiskFreeSpaceExW;
}

LPCWSTR GetImageName(int nKind)
{
    switch (nKind) {
    case IMAGE_KIND_XP:
        return L"xp";
    case IMAGE_KIND_WIN7:
        return L"win7u32";
    case IMAGE_KIND_WIN7_X64:
        return L"win7u64";
    }
    return NULL;
}

static void FormatImagePath(LPWSTR pszOut, int cchOut, WCHAR chDrive, LPCWSTR pszName)
{
    if (pszOut != NULL && cchOut > 0)
        ::wnsprintfW(pszOut, cchOut - 1, L"%c:\\ghofile\\%s.vex", chDrive, pszName);
}

BOOL FindImageTarget(LPWSTR pszOut, int cchOut, int nKind)
{
    ULONGLONG ullBest = 0;
    if (pszOut != NULL && cchOut > 0)
        pszOut[0] = L'\0';
    LPCWSTR pszName = GetImageName(nKind);
    if (pszName == NULL)
        pszName = L"";

    for (WCHAR ch = L'D'; ch <= L'Z'; ++ch) {
        WCHAR szRoot[260];
        ::wnsprintfW(szRoot, ARRAYSIZE(szRoot) - 1, L"%c:", ch);
        // Only the volume's total free bytes count, not the caller's quota.
        ULARGE_INTEGER free;
        free.QuadPart = 0;
        if (!s_pfnFreeSpace(szRoot, NULL, NULL, &free))
            free.QuadPart = 0;

        WCHAR szPartial[260];
        ::wnsprintfW(szPartial, ARRAYSIZE(szPartial) - 1, L"%c:\\ghofile\\%s.vex.dl", ch, pszName);
        if (::PathFileExistsW(szPartial)) {
            FormatImagePath(pszOut, cchOut, ch, pszName);
            ullBest = free.QuadPart;
            break;
        }
        if (free.QuadPart > ullBest) {
            FormatImagePath(pszOut, cchOut, ch, pszName);
            ullBest = free.QuadPart;
        }
    }

    if (pszOut != NULL && cchOut > 0) {
        if ((nKind == IMAGE_KIND_XP && ullBest < kMinFreeXP) || (nKind == IMAGE_KIND_WIN7 && ullBest < kMinFreeWin7))
            pszOut[0] = L'\0';
    }
    return pszOut != NULL && cchOut > 0 && pszOut[0] != L'\0';
}

ULONGLONG FileSizeOf(LPCWSTR pszPath)
{
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!::GetFileAttributesExW(pszPath, GetFileExInfoStandard, &fad))
        return 0;
    return ((ULONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
}

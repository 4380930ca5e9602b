#include "Volume.h"
#include "DLEngineApi.h"
#include "PartScheduler.h"

BOOL(WINAPI* g_pfnDLGetVolumeInformationW)
(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD) = ::GetVolumeInformationW;

static const ULONGLONG kDensePiece = 8ull * 1024 * 1024;

// The nearest folder on the way to pszFilePath that exists, with a trailing backslash.
static BOOL NearestExistingFolder(LPCWSTR pszFilePath, LPWSTR pszFolder, int cchFolder)
{
    lstrcpynW(pszFolder, pszFilePath, cchFolder);
    int i = lstrlenW(pszFolder);
    for (;;) {
        while (i > 0 && pszFolder[i - 1] != L'\\' && pszFolder[i - 1] != L'/')
            --i;
        if (i == 0)
            return FALSE;
        pszFolder[i] = L'\0';
        DWORD dwAttr = ::GetFileAttributesW(pszFolder);
        if (dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY))
            return TRUE;
        --i;  // past this folder's separator, to its parent
    }
}

static BOOL IsFatName(LPCWSTR psz)
{
    return lstrcmpiW(psz, L"FAT") == 0 || lstrcmpiW(psz, L"FAT32") == 0 || lstrcmpiW(psz, L"FAT16") == 0 ||
           lstrcmpiW(psz, L"FAT12") == 0;
}

BOOL GetVolumeFacts(LPCWSTR pszFilePath, DLVolumeFacts* pFacts)
{
    pFacts->ullFree = ~0ull;
    pFacts->ullMaxFile = ~0ull;
    pFacts->bSparse = TRUE;
    pFacts->szFileSystem[0] = L'\0';
    WCHAR szFolder[MAX_PATH + 1];
    WCHAR szRoot[MAX_PATH + 1];
    if (!NearestExistingFolder(pszFilePath, szFolder, ARRAYSIZE(szFolder)))
        return FALSE;
    if (!::GetVolumePathNameW(szFolder, szRoot, ARRAYSIZE(szRoot)))
        lstrcpynW(szRoot, szFolder, 4);  // "X:\"
    ULARGE_INTEGER avail;
    if (::GetDiskFreeSpaceExW(szFolder, &avail, NULL, NULL))
        pFacts->ullFree = avail.QuadPart;
    DWORD dwFlags = 0, dwMaxName = 0;
    if (g_pfnDLGetVolumeInformationW(szRoot, NULL, 0, NULL, &dwMaxName, &dwFlags, pFacts->szFileSystem,
                                     ARRAYSIZE(pFacts->szFileSystem))) {
        pFacts->bSparse = (dwFlags & FILE_SUPPORTS_SPARSE_FILES) != 0;
        if (IsFatName(pFacts->szFileSystem))
            pFacts->ullMaxFile = 0xFFFFFFFFull;
    }
    return TRUE;
}

LONG CheckVolumeFor(LPCWSTR pszFilePath, ULONGLONG ullFileSize, ULONGLONG ullStillNeeded)
{
    DLVolumeFacts facts;
    if (!GetVolumeFacts(pszFilePath, &facts))
        return DLE_OK;
    if (ullFileSize > facts.ullMaxFile)
        return DLE_FILE_TOO_LARGE;
    if (ullStillNeeded > facts.ullFree)
        return DLE_DISK_FULL;
    return DLE_OK;
}

UINT PartsToPlan(ULONGLONG ullMissing, UINT nConnections, BOOL bSparse, ULONGLONG ullMinPart)
{
    ULONGLONG n = ullMissing / ullMinPart;
    if (n > nConnections)
        n = nConnections;
    if (!bSparse) {
        // Leave room in the scheduler's table for the parts that stealing adds.
        ULONGLONG nPieces = ullMissing / kDensePiece;
        ULONGLONG nMax = CPartScheduler::MAX_PARTS - 2 * nConnections;
        n = nPieces > nMax ? nMax : nPieces > n ? nPieces : n;
    }
    return n < 1 ? 1 : (UINT)n;
}

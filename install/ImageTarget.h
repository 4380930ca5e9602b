// Image kinds and the rule that picks the drive and path an image is downloaded to:
// drives D: to Z:, a partial download of the same image wins, else the most free space,
// then the kind's minimum free space.
#pragma once
#include <windows.h>

enum {
    IMAGE_KIND_XP = 1,
    IMAGE_KIND_WIN7 = 3,
    IMAGE_KIND_WIN7_X64 = 4,
};

// "xp", "win7u32", "win7u64", or null for any other kind.
LPCWSTR GetImageName(int nKind);

// Fills pszOut (cchOut characters) with "X:\ghofile\<name>.vex" or the empty string;
// TRUE when it is not empty.
BOOL FindImageTarget(LPWSTR pszOut, int cchOut, int nKind);

// The size of the file at pszPath; 0 when it cannot be read.
ULONGLONG FileSizeOf(LPCWSTR pszPath);

// The free-space query FindImageTarget makes for each drive root; tests put a stand-in in
// its place. Null puts GetDiskFreeSpaceExW back.
typedef BOOL(WINAPI* PFN_GetDiskFreeSpaceExW)(LPCWSTR pszRoot, PULARGE_INTEGER pullAvailable, PULARGE_INTEGER pullTotal,
                                              PULARGE_INTEGER pullTotalFree);
void SetDiskFreeSpaceQuery(PFN_GetDiskFreeSpaceExW pfnQuery);

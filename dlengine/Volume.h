// What the volume that will hold a download allows: room left, the largest file its file
// system can hold (FAT: 4 GiB - 1 byte) and whether it keeps files sparse. Asked for a path
// whose folders need not exist yet (the nearest existing folder's volume answers). The
// download task asks before the first byte is written.
#pragma once
#include <windows.h>

struct DLVolumeFacts
{
    ULONGLONG ullFree;       // bytes available to the caller
    ULONGLONG ullMaxFile;    // largest possible file; ~0 when the file system sets no limit
    BOOL bSparse;            // files can be sparse: writes far apart cost no zero filling
    WCHAR szFileSystem[32];  // "NTFS", "FAT32", ...; "" when unknown
};

// GetVolumeInformationW, replaceable by tests (no FAT volume exists where they run).
extern BOOL(WINAPI* g_pfnDLGetVolumeInformationW)(LPCWSTR, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR, DWORD);

// FALSE when not even the volume's root could be found.
BOOL GetVolumeFacts(LPCWSTR pszFilePath, DLVolumeFacts* pFacts);
// DLE_FILE_TOO_LARGE when a file of ullFileSize cannot exist on the volume, DLE_DISK_FULL
// when ullStillNeeded bytes do not fit, else DLE_OK (also when the volume cannot be asked).
LONG CheckVolumeFor(LPCWSTR pszFilePath, ULONGLONG ullFileSize, ULONGLONG ullStillNeeded);
// How many parts to cut ullMissing bytes into: one per connection (none below ullMinPart)
// where files are sparse; else also pieces of about 8 MiB, handed out front first, so that no write lands more than a few
// pieces beyond the written front and the file system never zero-fills far ahead.
UINT PartsToPlan(ULONGLONG ullMissing, UINT nConnections, BOOL bSparse, ULONGLONG ullMinPart);

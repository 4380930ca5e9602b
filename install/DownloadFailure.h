// Why a download ended without an image, as the user is told: one cause per engine fault
// (or the installer's own "no address"), each with the title, main line and hint line of
// the skinned failure box that the download page shows before it returns to the choice page.
#pragma once
#include <windows.h>

enum DownloadFailureCause {
    DFC_MIRRORS_GONE,    // every address answered that the file is not there (any more)
    DFC_NETWORK,         // no server reachable for the whole patience window
    DFC_CHECKSUM,        // the image is not the one the catalogue names
    DFC_DISK_FULL,       // the drive ran out of room
    DFC_FILE_TOO_LARGE,  // the drive's file system cannot hold a file this large
    DFC_NO_ADDRESS,      // the catalogue gave no usable address
    DFC_WRITE,           // the image could not be written or read back
    DFC_OTHER,
};

struct DownloadFailureTexts
{
    LPCWSTR pszTitle;
    LPCWSTR pszLine;
    LPCWSTR pszHint;
};

// The cause of a DLE_ code (a failed task's reason or a refused start).
DownloadFailureCause CauseOfEngineError(LONG lError);

const DownloadFailureTexts& TextsOfCause(DownloadFailureCause cause);

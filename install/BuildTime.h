// The build-time line of the main dialog: the program's own link time stamp (seconds since
// 1970 UTC in the loaded image's file header), shown as a UTC calendar date and time.
#pragma once
#include <windows.h>

// The link time stamp of the program's own module (0 when it cannot be read).
DWORD GetProgramLinkTime();

// Formats the markup line "buile time : YYYY-MM-DD hh:mm.ss" for the time stamp into
// pszOut (cchOut characters, at most 255 used). "buile" is the line's established wording,
// kept deliberately.
void FormatBuildTimeLine(LPWSTR pszOut, int cchOut, DWORD dwTimeStamp);

// The server catalogue: the profile file "vantoir.ini" fetched from the configuration
// server at start-up, from which one download address per system is drawn at random into
// the two program-wide buffers that the main dialog reads.
#pragma once
#include <windows.h>

#define CATALOGUE_URL_CCH 1024
#define CATALOGUE_FILE_NAME L"vantoir.ini"

extern WCHAR g_szXPUrl[CATALOGUE_URL_CCH];    // the chosen Windows XP image address
extern WCHAR g_szWin7Url[CATALOGUE_URL_CCH];  // the chosen Windows 7 image address

typedef DWORD (WINAPI* PFN_TICKCOUNT)();

// 0 for n = 0, else the tick count modulo n.
UINT RandomIndex(UINT n, PFN_TICKCOUNT pfnTick = ::GetTickCount);

// Downloads pszUrl, bypassing the URL cache, to the temporary folder's "vantoir.ini";
// pszLocalPath (MAX_PATH + 4 characters) receives that path. FALSE when the download
// failed (no file is left behind then).
BOOL FetchCatalogue(LPCWSTR pszUrl, LPWSTR pszLocalPath);

// Draws one address per system from the catalogue file into g_szXPUrl and g_szWin7Url.
// A missing section or key leaves the buffer empty.
void ReadCatalogue(LPCWSTR pszIniPath, PFN_TICKCOUNT pfnTick = ::GetTickCount);

// Fetch, read and delete the local copy. FALSE only when the download failed.
BOOL LoadCatalogue(LPCWSTR pszUrl);

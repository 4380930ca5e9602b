// The server catalogue: the profile file "vantoir.ini" fetched from the configuration
// server at start-up, from which one download address per system is drawn at random into
// the two program-wide buffers that the main dialog reads.
#pragma once
#include <windows.h>

#define CATALOGUE_URL_CCH   1024
#define CATALOGUE_FILE_NAME L"vantoir.ini"

extern WCHAR g_szXPUrl[CATALOGUE_URL_CCH];    // the chosen Windows XP image address
extern WCHAR g_szWin7Url[CATALOGUE_URL_CCH];  // the chosen Windows 7 image address

typedef DWORD(WINAPI* PFN_TICKCOUNT)();

// 0 for n = 0, else the tick count modulo n.
UINT RandomIndex(UINT n, PFN_TICKCOUNT pfnTick = ::GetTickCount);

// Downloads pszUrl, bypassing the URL cache, to pszFolder\"vantoir.ini" (the run's private
// folder, so nobody else can change the copy before it is read); pszLocalPath (MAX_PATH + 4
// characters) receives that path. FALSE when the download failed (no file is left behind).
BOOL FetchCatalogue(LPCWSTR pszUrl, LPCWSTR pszFolder, LPWSTR pszLocalPath);

// Draws one address per system from the catalogue file into g_szXPUrl and g_szWin7Url,
// and reads every address, size and SHA-256 into g_srcXP and g_srcWin7 (ImageSource.h).
// A missing section or key leaves the buffer empty.
void ReadCatalogue(LPCWSTR pszIniPath, PFN_TICKCOUNT pfnTick = ::GetTickCount);

// Fetch into pszFolder, read and delete the local copy. FALSE only when the download failed.
BOOL LoadCatalogue(LPCWSTR pszUrl, LPCWSTR pszFolder);

// Fetches and reads the catalogue again, into the folder the last LoadCatalogue used. FALSE
// when there was none or the download failed; the addresses already read then stay.
BOOL ReloadCatalogue(LPCWSTR pszUrl);

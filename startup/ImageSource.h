// What the catalogue says about one system's image beyond the drawn address: every address
// its section lists (mirrors of the same file) and, when given, the expected size and
// SHA-256. Read at start-up beside the draw (Catalogue.h); the download job hands them to
// the engine and checks the image against them before the hand-off.
#pragma once
#include <windows.h>

#define IMAGE_SOURCE_MAX_URLS     16  // the engine's DL_MAX_MIRRORS
#define IMAGE_SOURCE_SHA256_CHARS 64
// Keys looked at per section: a count far beyond what any catalogue lists is not walked.
#define IMAGE_SOURCE_MAX_KEYS     256

struct ImageSource
{
    int nUrls;  // non-empty addresses, in key order
    WCHAR aszUrls[IMAGE_SOURCE_MAX_URLS][1024];
    ULONGLONG ullSize;                              // 0: not given or malformed
    WCHAR szSha256[IMAGE_SOURCE_SHA256_CHARS + 1];  // lower case; empty: not given or malformed
};

extern ImageSource g_srcXP;    // section "WINXP"
extern ImageSource g_srcWin7;  // section "WIN7"

// Reads pszSection of the catalogue file: "url1".."urlN" (N = "urlcount", at least 1),
// "size" (decimal bytes, 1..2^64-1) and "sha256" (64 hexadecimal digits, either case).
// A malformed size or hash is left out, never an error.
void ReadImageSource(LPCWSTR pszIniPath, LPCWSTR pszSection, ImageSource* pSource);

// TRUE for 1..20 decimal digits without overflow and not 0.
BOOL ParseImageSize(LPCWSTR psz, ULONGLONG* pull);
// TRUE for exactly 64 hexadecimal digits; pszOut (65 characters) gets them in lower case.
BOOL ParseSha256(LPCWSTR psz, LPWSTR pszOut);

// The addresses a task gets: pszChosen first (when not empty), then the source's others in
// catalogue order, without repeats; at most nMax. Returns the count; the pointers point into
// pszChosen and pSource.
int OrderImageUrls(LPCWSTR pszChosen, const ImageSource& source, LPCWSTR* ppszOut, int nMax);

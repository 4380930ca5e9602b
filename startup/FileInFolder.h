// Files written into folders that may not exist yet: the payload writer and the hand-off's
// marker both create the folder (with its parents) and then their file in it.
#pragma once
#include <windows.h>

// Creates pszFolder with its parents when it is missing and puts folder\file name into
// pszPath (MAX_PATH + 4 characters). FALSE when the folder is not there afterwards or the
// path does not fit.
BOOL PrepareFileInFolder(LPCWSTR pszFolder, LPCWSTR pszFileName, LPWSTR pszPath);

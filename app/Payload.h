// The payload writer: turns one "BIN" resource of the program's own file into a file on
// disk (the engine library and its zlib at start-up, the restore tool at the hand-off).
#pragma once
#include <windows.h>

// TRUE only when the whole resource was written to folder\file name. Creates the folder
// with its parents and replaces an older file (read-only included) when it can.
BOOL ExtractResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName);

// The payload writer: turns one "BIN" resource of the program's own file into a file on
// disk (the engine library and its zlib at start-up, the restore tool at the hand-off).
// Every file it creates is noted in the payload record (PayloadRecord.h), from which the
// clean-up at the end of the run removes it.
#pragma once
#include <windows.h>
#include "res/resource.h"   // PAYLOAD_ID_*, the payloads' resource ids

// TRUE only when the whole resource was written to folder\file name. Creates the folder
// with its parents and replaces an older file (read-only included) when it can.
BOOL ExtractResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName);

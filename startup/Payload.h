// The payload writer: turns one "BIN" resource of the program's own file into a file on
// disk (the engine library and its zlib at start-up, the restore tool at the hand-off).
// Every file it creates is noted in the payload record (PayloadRecord.h), from which the
// clean-up at the end of the run removes it.
#pragma once
#include <windows.h>
#include "res/resource.h"  // PAYLOAD_ID_*, the payloads' resource ids
#include "HeldFile.h"

// TRUE only when the whole resource was written to folder\file name. Creates the folder
// with its parents and replaces an older file (read-only included) when it can.
BOOL ExtractResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName);

// Writes the resource as ExtractResourceFile does, then holds the written file (pHold) and
// checks through the held handle that it is byte for byte the resource. TRUE only then, and
// the file stays held (nobody can write, rename or delete it) until pHold is released; on
// FALSE pHold holds nothing. What is loaded or started from the file is therefore what this
// run wrote, never an older or swapped copy.
BOOL ExtractHeldResourceFile(UINT nResId, LPCWSTR pszFolder, LPCWSTR pszFileName, CHeldFile* pHold);

// Called with the path after each payload file is written and closed, before it is held;
// null in the product. Lets tests change a payload in exactly that gap.
typedef void (*PFN_PAYLOAD_WRITTEN)(LPCWSTR pszPath);
extern PFN_PAYLOAD_WRITTEN g_pfnPayloadWritten;

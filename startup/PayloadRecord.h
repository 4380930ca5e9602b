// The record of payload files this process wrote (full paths), kept so that the clean-up
// at the end removes exactly those files from the folders they were written to, and never
// a file of the same name that the program did not write. ExtractResourceFile fills it.
#pragma once
#include <windows.h>

#define PAYLOAD_RECORD_MAX 8

// Notes one written file; a path already noted (any letter case) is not noted twice.
void RecordWrittenPayload(LPCWSTR pszPath);

int GetWrittenPayloadCount();
LPCWSTR GetWrittenPayload(int i);  // null outside 0 .. count - 1

// Deletes every noted file. One that cannot be deleted now (still in use) is handed to
// the system for deletion at the next restart. Clears the record.
void RemoveWrittenPayloads();

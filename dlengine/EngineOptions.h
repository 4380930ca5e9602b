// The engine's tuning values that callers may change (DLSetEngineOption, or the environment
// for a program that does not call it). Read by each task when it is created.
#pragma once
#include <windows.h>

namespace dl {

const DWORD DEFAULT_PATIENCE_MS = 10 * 60 * 1000;

// Reads DLENGINE_PATIENCE_MS from the environment (DLInitDownloadEngine).
void LoadOptionsFromEnvironment();
// DLE_OK or DLE_INVALID_ARG (unknown option, or a value out of range).
LONG SetEngineOption(LONG lOption, ULONGLONG ullValue);
DWORD PatienceMs();

}  // namespace dl

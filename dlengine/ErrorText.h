// The English text of each DLE_ code, for DLGetErrorMsg.
#pragma once
#include <windows.h>

// Null for a code the engine does not define.
LPCWSTR ErrorText(LONG lError);

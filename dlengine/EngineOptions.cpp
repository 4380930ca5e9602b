#include "EngineOptions.h"
#include "DLEngineApi.h"
#include <stdlib.h>

namespace dl {

static volatile LONG s_lPatienceMs = (LONG)DEFAULT_PATIENCE_MS;

// At least a second (a window shorter than one retry would fail at the first fault), at most a day.
static const ULONGLONG kMinPatience = 1000;
static const ULONGLONG kMaxPatience = 24ull * 3600 * 1000;

void LoadOptionsFromEnvironment()
{
    WCHAR sz[32];
    DWORD n = ::GetEnvironmentVariableW(L"DLENGINE_PATIENCE_MS", sz, 32);
    if (n == 0 || n >= 32)
        return;
    WCHAR* pEnd = NULL;
    ULONGLONG v = _wcstoui64(sz, &pEnd, 10);
    if (pEnd != sz && *pEnd == L'\0')
        SetEngineOption(DL_OPTION_PATIENCE_MS, v);
}

LONG SetEngineOption(LONG lOption, ULONGLONG ullValue)
{
    if (lOption != DL_OPTION_PATIENCE_MS || ullValue < kMinPatience || ullValue > kMaxPatience)
        return DLE_INVALID_ARG;
    ::InterlockedExchange(&s_lPatienceMs, (LONG)ullValue);
    return DLE_OK;
}

DWORD PatienceMs() { return (DWORD)s_lPatienceMs; }

}  // namespace dl

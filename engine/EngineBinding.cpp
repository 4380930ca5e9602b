#include "EngineBinding.h"
#include <shlwapi.h>

DLEngineEntryPoints g_dlEngine;

HMODULE LoadDLEngine()
{
    HMODULE hModule = ::LoadLibraryW(L"DLEngine.dll");
    if (hModule == NULL)
        return NULL;

    static const char* const kExports[] = {
        "DLInitDownloadEngine", "DLURLDownloadToFile", "DLQueryTaskInfo", "DLPauseTask",
        "DLContinueTask", "DLContinueTaskFromWorkFile", "DLStopTask", "DLUninitDownloadEngine",
        "DLGetErrorMsg",
    };
    FARPROC* pSlots = (FARPROC*)&g_dlEngine;
    for (size_t i = 0; i < sizeof(kExports) / sizeof(kExports[0]); ++i) {
        pSlots[i] = ::GetProcAddress(hModule, kExports[i]);
        if (pSlots[i] == NULL) {
            // No pointer into a released library may stay behind.
            ZeroMemory(&g_dlEngine, sizeof(g_dlEngine));
            ::FreeLibrary(hModule);
            return NULL;
        }
    }
    return hModule;
}

BOOL IsDLCleanerPresent()
{
    HKEY hKey = NULL;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Pelagro Network\\Pelagro", 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;

    WCHAR szPath[528 + 8];
    DWORD dwType = 0;
    DWORD cb = 528 * sizeof(WCHAR);
    LONG lRet = ::RegQueryValueExW(hKey, L"path", NULL, &dwType, (LPBYTE)szPath, &cb);
    ::RegCloseKey(hKey);
    if (lRet != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return FALSE;
    // A value without its terminator counts as missing.
    DWORD cch = cb / sizeof(WCHAR);
    if (cch == 0 || szPath[cch - 1] != L'\0')
        return FALSE;

    WCHAR szScript[528 + 64];
    ::lstrcpynW(szScript, szPath, 528);
    if (!::PathAppendW(szScript, L"..\\pelagro_delWorkingDirectory.vbs"))
        return FALSE;
    return ::PathFileExistsW(szScript);
}

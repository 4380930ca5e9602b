#include "EngineBinding.h"
#include <shlwapi.h>

DLEngineEntryPoints g_dlEngine;

HMODULE LoadDLEngine(LPCWSTR pszFolder)
{
    WCHAR szPath[MAX_PATH + 4];
    ::lstrcpynW(szPath, pszFolder, ARRAYSIZE(szPath));
    if (!::PathAppendW(szPath, DLENGINE_FILE_NAME) || ::PathIsRelativeW(szPath))
        return NULL;
    // The altered search order looks for the library's imports in its own folder before the
    // system folders; Windows XP has no finer control (no SetDefaultDllDirectories).
    HMODULE hModule = ::LoadLibraryExW(szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hModule == NULL)
        return NULL;

    static const char* const kExports[] = {
        "DLInitDownloadEngine",
        "DLURLDownloadToFile",
        "DLQueryTaskInfo",
        "DLPauseTask",
        "DLContinueTask",
        "DLContinueTaskFromWorkFile",
        "DLStopTask",
        "DLUninitDownloadEngine",
        "DLGetErrorMsg",
        "DLCreateTaskEx",
        "DLContinueTaskFromWorkFileEx",
        "DLQueryTaskInfoEx",
        "DLVerifyFile",
    };
    static_assert(sizeof(kExports) / sizeof(kExports[0]) == sizeof(DLEngineEntryPoints) / sizeof(FARPROC),
                  "one name per slot");
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

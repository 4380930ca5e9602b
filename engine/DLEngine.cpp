#include "DLEngine.h"
#include "EngineBinding.h"
#include <shlwapi.h>

CDLEngine::CDLEngine()
    : m_bInit(FALSE)
{
    if (g_dlEngine.pfnInit != NULL)
        m_bInit = g_dlEngine.pfnInit();
}

void CDLEngine::Uninit()
{
    if (m_bInit) {
        if (g_dlEngine.pfnUninit != NULL)
            g_dlEngine.pfnUninit();
        m_bInit = FALSE;
    }
}

LONG CDLEngine::StartTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plError)
{
    if (::PathFileExistsW(pszPath))
        return 0;

    // A path too long for its work-file names would have them cut, and the cut names could
    // belong to another file: such a path gets no work-file handling (the engine refuses it).
    if (::lstrlenW(pszPath) + 7 >= 263)
        return CreateTask(pszPath, pszUrl, pszReferrer, plError);

    WCHAR szWork[263];
    WCHAR szWorkCfg[263];
    ::wnsprintfW(szWork, 263, L"%s.dl", pszPath);
    ::wnsprintfW(szWorkCfg, 263, L"%s.dl.cfg", pszPath);

    if (IsDLCleanerPresent()) {
        ::DeleteFileW(szWork);
        ::DeleteFileW(szWorkCfg);
    }
    if (::PathFileExistsW(szWork) && ::PathFileExistsW(szWorkCfg)) {
        LONG lError = 0;
        LONG lTask = ResumeTask(szWork, &lError);
        if (lError == 0) {
            if (plError != NULL)
                *plError = 0;
            return lTask;
        }
        ::DeleteFileW(szWork);
        ::DeleteFileW(szWorkCfg);
    }
    return CreateTask(pszPath, pszUrl, pszReferrer, plError);
}

LONG CDLEngine::CreateTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plError)
{
    LONG lTask = 0;
    LONG lError = g_dlEngine.pfnURLDownloadToFile != NULL
                      ? g_dlEngine.pfnURLDownloadToFile(pszPath, pszUrl, pszReferrer, &lTask)
                      : -1;
    if (plError != NULL)
        *plError = lError;
    return lTask;
}

LONG CDLEngine::ResumeTask(LPCWSTR pszWorkFile, LONG* plError)
{
    LONG lTask = 0;
    LONG lError = g_dlEngine.pfnContinueTaskFromWorkFile != NULL
                      ? g_dlEngine.pfnContinueTaskFromWorkFile(pszWorkFile, &lTask)
                      : -1;
    if (plError != NULL)
        *plError = lError;
    return lTask;
}

LONG CDLEngine::QueryTask(LONG lTaskId, ULONGLONG* pullReceived, ULONGLONG* pullTotal, LONG* plStatus)
{
    if (g_dlEngine.pfnQueryTaskInfo == NULL)
        return -1;
    return g_dlEngine.pfnQueryTaskInfo(lTaskId, plStatus, pullTotal, pullReceived);
}

BOOL CDLEngine::StopTask(LONG lTaskId)
{
    if (g_dlEngine.pfnStopTask != NULL)
        g_dlEngine.pfnStopTask(lTaskId);
    return TRUE;
}

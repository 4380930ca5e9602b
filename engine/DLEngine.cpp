#include "DLEngine.h"
#include "EngineBinding.h"
#include <shlwapi.h>

CDLEngine::CDLEngine() : m_bInit(FALSE)
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

// Fills pszWork and pszWorkCfg (263 characters each) with P's work-file names and deletes
// both when the vendor's clean-up script is present. FALSE when P is too long for them: the
// cut names could belong to another file, so such a path gets no work-file handling.
static BOOL PrepareWorkFiles(LPCWSTR pszPath, LPWSTR pszWork, LPWSTR pszWorkCfg)
{
    if (::lstrlenW(pszPath) + 7 >= 263)
        return FALSE;
    ::wnsprintfW(pszWork, 263, L"%s.dl", pszPath);
    ::wnsprintfW(pszWorkCfg, 263, L"%s.dl.cfg", pszPath);
    if (IsDLCleanerPresent()) {
        ::DeleteFileW(pszWork);
        ::DeleteFileW(pszWorkCfg);
    }
    return ::PathFileExistsW(pszWork) && ::PathFileExistsW(pszWorkCfg);
}

static LONG SetError(LONG* plError, LONG lError)
{
    if (plError != NULL)
        *plError = lError;
    return lError;
}

LONG CDLEngine::StartTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plError)
{
    if (::PathFileExistsW(pszPath))
        return 0;
    WCHAR szWork[263];
    WCHAR szWorkCfg[263];
    if (PrepareWorkFiles(pszPath, szWork, szWorkCfg)) {
        LONG lError = 0;
        LONG lTask = ResumeTask(szWork, &lError);
        if (lError == 0) {
            SetError(plError, 0);
            return lTask;
        }
        ::DeleteFileW(szWork);
        ::DeleteFileW(szWorkCfg);
    }
    return CreateTask(pszPath, pszUrl, pszReferrer, plError);
}

LONG CDLEngine::StartTaskEx(const DL_TASK_PARAMS* pParams, LONG* plError)
{
    SetError(plError, 0);
    if (::PathFileExistsW(pParams->pszPath))
        return 0;
    WCHAR szWork[263];
    WCHAR szWorkCfg[263];
    if (PrepareWorkFiles(pParams->pszPath, szWork, szWorkCfg)) {
        LONG lError = 0;
        LONG lTask = ResumeTaskEx(szWork, pParams, &lError);
        if (lError == 0)
            return lTask;
        ::DeleteFileW(szWork);
        ::DeleteFileW(szWorkCfg);
    }
    return CreateTaskEx(pParams, plError);
}

LONG CDLEngine::CreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plError)
{
    LONG lTask = 0;
    SetError(plError, g_dlEngine.pfnCreateTaskEx != NULL ? g_dlEngine.pfnCreateTaskEx(pParams, &lTask) : -1);
    return lTask;
}

LONG CDLEngine::ResumeTaskEx(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plError)
{
    LONG lTask = 0;
    SetError(plError, g_dlEngine.pfnContinueTaskFromWorkFileEx != NULL
                          ? g_dlEngine.pfnContinueTaskFromWorkFileEx(pszWorkFile, pParams, &lTask)
                          : -1);
    return lTask;
}

LONG CDLEngine::QueryTaskEx(LONG lTaskId, DL_TASK_INFO* pInfo)
{
    ZeroMemory(pInfo, sizeof(*pInfo));
    pInfo->cbSize = sizeof(*pInfo);
    if (g_dlEngine.pfnQueryTaskInfoEx == NULL)
        return -1;
    return g_dlEngine.pfnQueryTaskInfoEx(lTaskId, pInfo);
}

LONG CDLEngine::VerifyFile(LPCWSTR pszPath, ULONGLONG ullSize, LPCWSTR pszSha256, LONG* plError)
{
    LONG lTask = 0;
    SetError(plError,
             g_dlEngine.pfnVerifyFile != NULL ? g_dlEngine.pfnVerifyFile(pszPath, ullSize, pszSha256, &lTask) : -1);
    return lTask;
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

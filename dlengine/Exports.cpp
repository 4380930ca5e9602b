// The exports of DLEngine.dll (undecorated through DLEngine.def), in DLEngineApi.h's order.
#include "Engine.h"
#include "EngineOptions.h"
#include "ErrorText.h"

extern "C" {

BOOL WINAPI DLInitDownloadEngine(void) { return g_engine.Init(); }

LONG WINAPI DLURLDownloadToFile(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTaskId)
{
    return g_engine.CreateTask(pszPath, pszUrl, pszReferrer, plTaskId);
}

LONG WINAPI DLQueryTaskInfo(LONG lTaskId, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived)
{
    return g_engine.Query(lTaskId, plStatus, pullTotal, pullReceived);
}

LONG WINAPI DLPauseTask(LONG lTaskId, BOOL bWait) { return g_engine.Pause(lTaskId, bWait); }

LONG WINAPI DLContinueTask(LONG lTaskId) { return g_engine.Continue(lTaskId); }

LONG WINAPI DLContinueTaskFromWorkFile(LPCWSTR pszWorkFile, LONG* plTaskId)
{
    return g_engine.ResumeTask(pszWorkFile, NULL, plTaskId);
}

LONG WINAPI DLStopTask(LONG lTaskId) { return g_engine.Stop(lTaskId); }

LONG WINAPI DLUninitDownloadEngine(void) { return g_engine.Uninit(); }

LONG WINAPI DLGetErrorMsg(LONG lError, LPWSTR pszBuf, LONG cchBuf)
{
    if (pszBuf == NULL || cchBuf < 1)
        return DLE_INVALID_ARG;
    LPCWSTR pszText = ErrorText(lError);
    lstrcpynW(pszBuf, pszText != NULL ? pszText : L"unknown error code", cchBuf);
    return pszText != NULL ? DLE_OK : DLE_INVALID_ARG;
}

LONG WINAPI DLCreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    return g_engine.CreateTaskEx(pParams, plTaskId);
}

LONG WINAPI DLContinueTaskFromWorkFileEx(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    return g_engine.ResumeTask(pszWorkFile, pParams, plTaskId);
}

LONG WINAPI DLAddTaskMirror(LONG lTaskId, LPCWSTR pszUrl) { return g_engine.AddMirror(lTaskId, pszUrl); }

LONG WINAPI DLQueryTaskInfoEx(LONG lTaskId, DL_TASK_INFO* pInfo) { return g_engine.QueryEx(lTaskId, pInfo); }

LONG WINAPI DLVerifyFile(LPCWSTR pszPath, ULONGLONG ullExpectedSize, LPCWSTR pszSha256, LONG* plTaskId)
{
    return g_engine.VerifyFile(pszPath, ullExpectedSize, pszSha256, plTaskId);
}

LONG WINAPI DLSetEngineOption(LONG lOption, ULONGLONG ullValue) { return dl::SetEngineOption(lOption, ullValue); }

}  // extern "C"

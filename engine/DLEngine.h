// CDLEngine: the one engine object, owned by the main dialog. It starts the engine when
// constructed, shuts it down in Uninit, and starts (or resumes from the engine's work files
// "P.dl" and "P.dl.cfg"), polls and stops the one download task.
#pragma once
#include <windows.h>
#include "dlengine/DLEngineApi.h"   // DL_STATUS_FINISHED (11) and the other status values

class CDLEngine
{
public:
    CDLEngine();

    void Uninit();
    // 0 when P already exists (no engine call) or no task was issued.
    LONG StartTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plError);
    LONG CreateTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plError);
    LONG ResumeTask(LPCWSTR pszWorkFile, LONG* plError);
    LONG QueryTask(LONG lTaskId, ULONGLONG* pullReceived, ULONGLONG* pullTotal, LONG* plStatus);
    BOOL StopTask(LONG lTaskId);

    BOOL m_bInit;   // what DLInitDownloadEngine returned; 0 once shut down
};

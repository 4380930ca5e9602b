// CDLEngine: the one engine object, owned by the main dialog. It starts the engine when
// constructed, shuts it down in Uninit, and starts (or resumes from the engine's work files
// "P.dl" and "P.dl.cfg"), polls and stops the one download task. The Ex calls give the task
// every mirror and the expected size and SHA-256; VerifyFile checks an image already at P.
#pragma once
#include <windows.h>
#include "dlengine/DLEngineApi.h"  // DL_STATUS_FINISHED (11) and the other status values

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

    // As StartTask, with pParams's addresses (the first tried first), size and SHA-256; a
    // resumed task gets the addresses added to those its record keeps. A record that
    // disagrees with the expected size or hash is dropped and the download starts anew.
    // *plError gets the engine's code (DLE_OK when a task was issued or P exists).
    LONG StartTaskEx(const DL_TASK_PARAMS* pParams, LONG* plError);
    LONG CreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plError);
    LONG ResumeTaskEx(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plError);
    // Fills *pInfo (cbSize set here); the engine's code, -1 when unbound.
    LONG QueryTaskEx(LONG lTaskId, DL_TASK_INFO* pInfo);
    // A task that hashes the file at pszPath; its status ends at 11 only on a match.
    LONG VerifyFile(LPCWSTR pszPath, ULONGLONG ullSize, LPCWSTR pszSha256, LONG* plError);
    BOOL StopTask(LONG lTaskId);

    BOOL m_bInit;  // what DLInitDownloadEngine returned; 0 once shut down
};

// CEngine: the engine as the exports see it: started or not, and the table of tasks by id.
// Every operation takes the table lock only briefly; waits (stop, pause) happen outside it
// on a counted reference to the task.
#pragma once
#include "DownloadTask.h"

class CEngine
{
public:
    CEngine();

    BOOL Init();
    LONG Uninit();
    LONG CreateTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTaskId);
    LONG CreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plTaskId);
    LONG ResumeTask(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plTaskId);
    LONG VerifyFile(LPCWSTR pszPath, ULONGLONG ullExpectedSize, LPCWSTR pszSha256, LONG* plTaskId);
    LONG AddMirror(LONG lTaskId, LPCWSTR pszUrl);
    LONG Query(LONG lTaskId, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived);
    LONG QueryEx(LONG lTaskId, DL_TASK_INFO* pInfo);
    LONG Pause(LONG lTaskId, BOOL bWait);
    LONG Continue(LONG lTaskId);
    LONG Stop(LONG lTaskId);

private:
    enum { MAX_TASKS = 64 };

    CDownloadTask* Find(LONG lTaskId);  // with a reference, or null
    LONG Insert(CDownloadTask* pTask, LONG* plTaskId);
    // The full form of a new task's target path, once the engine runs.
    LONG PrepareTarget(LPCWSTR pszPath, LPWSTR pszFull);
    // Starts and lists a new task (NULL: no memory for it); the task is released on failure.
    LONG Adopt(CDownloadTask* pTask, LONG* plTaskId);

    CCritSec m_cs;
    BOOL m_bStarted;
    LONG m_lNextId;
    int m_nTasks;
    CDownloadTask* m_tasks[MAX_TASKS];  // each holds a reference
};

extern CEngine g_engine;

// Characters in psz up to cchMax + 1 (so an overlong string is seen without reading past it).
int BoundedLength(LPCWSTR psz, int cchMax);

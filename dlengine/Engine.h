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
    LONG ResumeTask(LPCWSTR pszWorkFile, LONG* plTaskId);
    LONG Query(LONG lTaskId, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived);
    LONG Pause(LONG lTaskId, BOOL bWait);
    LONG Continue(LONG lTaskId);
    LONG Stop(LONG lTaskId);

private:
    enum { MAX_TASKS = 64 };

    CDownloadTask* Find(LONG lTaskId);            // with a reference, or null
    LONG Insert(CDownloadTask* pTask, LONG* plTaskId);

    CCritSec m_cs;
    BOOL m_bStarted;
    LONG m_lNextId;
    int m_nTasks;
    CDownloadTask* m_tasks[MAX_TASKS];            // each holds a reference
};

extern CEngine g_engine;

// Characters in psz up to cchMax + 1 (so an overlong string is seen without reading past it).
int BoundedLength(LPCWSTR psz, int cchMax);

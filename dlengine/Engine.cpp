#include "Engine.h"
#include <winsock2.h>
#include <new>
#include <wchar.h>

CEngine g_engine;

int BoundedLength(LPCWSTR psz, int cchMax)
{
    int n = 0;
    while (n <= cchMax && psz[n] != L'\0')
        ++n;
    return n;
}

CEngine::CEngine()
    : m_bStarted(FALSE), m_lNextId(1), m_nTasks(0)
{
    ZeroMemory(m_tasks, sizeof(m_tasks));
}

BOOL CEngine::Init()
{
    CAutoLock lock(m_cs);
    if (m_bStarted)
        return TRUE;
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return FALSE;
    m_bStarted = TRUE;
    return TRUE;
}

LONG CEngine::Uninit()
{
    CDownloadTask* tasks[MAX_TASKS];
    int n;
    {
        CAutoLock lock(m_cs);
        if (!m_bStarted)
            return DLE_OK;
        m_bStarted = FALSE;
        n = m_nTasks;
        for (int i = 0; i < n; ++i)
            tasks[i] = m_tasks[i];
        m_nTasks = 0;
    }
    for (int i = 0; i < n; ++i) {
        tasks[i]->Stop();
        tasks[i]->Release();
    }
    ::WSACleanup();
    return DLE_OK;
}

CDownloadTask* CEngine::Find(LONG lTaskId)
{
    CAutoLock lock(m_cs);
    if (!m_bStarted)
        return NULL;
    for (int i = 0; i < m_nTasks; ++i) {
        if (m_tasks[i]->Id() == lTaskId) {
            m_tasks[i]->AddRef();
            return m_tasks[i];
        }
    }
    return NULL;
}

// Takes over the caller's reference on success.
LONG CEngine::Insert(CDownloadTask* pTask, LONG* plTaskId)
{
    CAutoLock lock(m_cs);
    if (!m_bStarted)
        return DLE_NOT_INITIALIZED;
    for (int i = 0; i < m_nTasks; ++i) {
        if (lstrcmpiW(m_tasks[i]->Path(), pTask->Path()) == 0 && m_tasks[i]->HoldsFiles())
            return DLE_BUSY;
    }
    if (m_nTasks == MAX_TASKS) {
        // Make room by forgetting the oldest task that has ended.
        int i = 0;
        while (i < m_nTasks && !m_tasks[i]->HasEnded())
            ++i;
        if (i == m_nTasks)
            return DLE_NO_RESOURCES;
        m_tasks[i]->Release();
        for (; i + 1 < m_nTasks; ++i)
            m_tasks[i] = m_tasks[i + 1];
        --m_nTasks;
    }
    LONG lId = m_lNextId;
    m_lNextId = m_lNextId == 0x7FFFFFFF ? 1 : m_lNextId + 1;
    pTask->SetId(lId);
    LONG r = pTask->Start();
    if (r != DLE_OK)
        return r;
    m_tasks[m_nTasks++] = pTask;
    *plTaskId = lId;
    return DLE_OK;
}

// The full form of a target path, within the engine's length limit.
static LONG FullTargetPath(LPCWSTR pszPath, LPWSTR pszFull)
{
    WCHAR szFull[MAX_PATH + 1];
    DWORD n = ::GetFullPathNameW(pszPath, MAX_PATH + 1, szFull, NULL);
    if (n == 0)
        return DLE_INVALID_ARG;
    if (n > DL_MAX_PATH)
        return DLE_TOO_LONG;
    if (szFull[n - 1] == L'\\' || szFull[n - 1] == L'/')
        return DLE_INVALID_ARG;   // a folder, not a file
    lstrcpynW(pszFull, szFull, DL_MAX_PATH + 1);
    return DLE_OK;
}

LONG CEngine::CreateTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTaskId)
{
    if (plTaskId == NULL)
        return DLE_INVALID_ARG;
    *plTaskId = 0;
    if (pszPath == NULL || pszUrl == NULL || pszPath[0] == L'\0' || pszUrl[0] == L'\0')
        return DLE_INVALID_ARG;
    if (BoundedLength(pszPath, DL_MAX_PATH) > DL_MAX_PATH || BoundedLength(pszUrl, DL_MAX_URL) > DL_MAX_URL ||
        (pszReferrer != NULL && BoundedLength(pszReferrer, DL_MAX_URL) > DL_MAX_URL))
        return DLE_TOO_LONG;
    CUrl url;
    LONG r = url.Parse(pszUrl);
    if (r != DLE_OK)
        return r;
    WCHAR szFull[DL_MAX_PATH + 1];
    if ((r = FullTargetPath(pszPath, szFull)) != DLE_OK)
        return r;
    {
        CAutoLock lock(m_cs);
        if (!m_bStarted)
            return DLE_NOT_INITIALIZED;
    }
    CDownloadTask* pTask = CDownloadTask::CreateNew(szFull, pszUrl, pszReferrer);
    if (pTask == NULL)
        return DLE_NO_RESOURCES;
    r = Insert(pTask, plTaskId);
    if (r != DLE_OK)
        pTask->Release();
    return r;
}

LONG CEngine::ResumeTask(LPCWSTR pszWorkFile, LONG* plTaskId)
{
    if (plTaskId == NULL)
        return DLE_INVALID_ARG;
    *plTaskId = 0;
    if (pszWorkFile == NULL || pszWorkFile[0] == L'\0')
        return DLE_INVALID_ARG;
    int cch = BoundedLength(pszWorkFile, DL_MAX_PATH + 3);
    if (cch > DL_MAX_PATH + 3)
        return DLE_TOO_LONG;
    if (cch < 4 || lstrcmpiW(pszWorkFile + cch - 3, L".dl") != 0)
        return DLE_INVALID_ARG;
    WCHAR szPath[DL_MAX_PATH + 1];
    lstrcpynW(szPath, pszWorkFile, cch - 3 + 1);
    WCHAR szFull[DL_MAX_PATH + 1];
    LONG r = FullTargetPath(szPath, szFull);
    if (r != DLE_OK)
        return r;
    {
        CAutoLock lock(m_cs);
        if (!m_bStarted)
            return DLE_NOT_INITIALIZED;
    }

    WCHAR szWork[DL_MAX_PATH + 8];
    WCHAR szRecord[DL_MAX_PATH + 8];
    _snwprintf(szWork, DL_MAX_PATH + 8, L"%ls.dl", szFull);
    _snwprintf(szRecord, DL_MAX_PATH + 8, L"%ls.dl.cfg", szFull);
    szWork[DL_MAX_PATH + 7] = szRecord[DL_MAX_PATH + 7] = L'\0';

    CWorkRecord* pRecord = new (std::nothrow) CWorkRecord();
    if (pRecord == NULL)
        return DLE_NO_RESOURCES;
    r = pRecord->Load(szRecord);
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (r == DLE_OK && !::GetFileAttributesExW(szWork, GetFileExInfoStandard, &fad))
        r = DLE_WORKFILE_MISSING;
    if (r == DLE_OK) {
        ULONGLONG size = ((ULONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
        UINT n = pRecord->ranges.Count();
        ULONGLONG lastEnd = n ? pRecord->ranges.At(n - 1).ullEnd : 0;
        BOOL bSizeKnown = (pRecord->dwFlags & CWorkRecord::FLAG_SIZE_KNOWN) != 0;
        if ((fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (bSizeKnown ? size != pRecord->ullTotal : size < lastEnd))
            r = DLE_WORKFILE_MISMATCH;
    }
    CUrl url;
    if (r == DLE_OK && url.Parse(pRecord->szUrl) != DLE_OK)
        r = DLE_WORKFILE_CORRUPT;
    CDownloadTask* pTask = NULL;
    if (r == DLE_OK && (pTask = CDownloadTask::CreateFromRecord(szFull, *pRecord)) == NULL)
        r = DLE_NO_RESOURCES;
    delete pRecord;
    if (r != DLE_OK)
        return r;
    r = Insert(pTask, plTaskId);
    if (r != DLE_OK)
        pTask->Release();
    return r;
}

LONG CEngine::Query(LONG lTaskId, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived)
{
    if (plStatus == NULL || pullTotal == NULL || pullReceived == NULL)
        return DLE_INVALID_ARG;
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    pTask->Query(plStatus, pullTotal, pullReceived);
    pTask->Release();
    return DLE_OK;
}

LONG CEngine::Pause(LONG lTaskId, BOOL bWait)
{
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    LONG r = pTask->Pause(bWait);
    pTask->Release();
    return r;
}

LONG CEngine::Continue(LONG lTaskId)
{
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    LONG r = pTask->Continue();
    pTask->Release();
    return r;
}

LONG CEngine::Stop(LONG lTaskId)
{
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    pTask->Stop();
    pTask->Release();
    return DLE_OK;
}

#include "Engine.h"
#include "EngineOptions.h"
#include "Volume.h"
#include <winsock2.h>
#include <new>
#include <string.h>
#include <wchar.h>

CEngine g_engine;

int BoundedLength(LPCWSTR psz, int cchMax)
{
    int n = 0;
    while (n <= cchMax && psz[n] != L'\0')
        ++n;
    return n;
}

CEngine::CEngine() : m_bStarted(FALSE), m_lNextId(1), m_nTasks(0) { ZeroMemory(m_tasks, sizeof(m_tasks)); }

BOOL CEngine::Init()
{
    CAutoLock lock(m_cs);
    if (m_bStarted)
        return TRUE;
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return FALSE;
    dl::LoadOptionsFromEnvironment();
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
    // Every task is asked at once, then all are given one shared wait.
    for (int i = 0; i < n; ++i)
        tasks[i]->Stop(0);
    DWORD dwStart = ::GetTickCount();
    BOOL bAllEnded = TRUE;
    for (int i = 0; i < n; ++i) {
        DWORD dwSpent = ::GetTickCount() - dwStart;
        tasks[i]->Stop(dwSpent < dl::STOP_WAIT_MS ? dl::STOP_WAIT_MS - dwSpent : 0);
        bAllEnded = bAllEnded && tasks[i]->HasEnded();
        tasks[i]->Release();
    }
    // A task still ending uses its sockets until it does.
    if (bAllEnded)
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
        return DLE_INVALID_ARG;  // a folder, not a file
    lstrcpynW(pszFull, szFull, DL_MAX_PATH + 1);
    return DLE_OK;
}

LONG CEngine::PrepareTarget(LPCWSTR pszPath, LPWSTR pszFull)
{
    LONG r = FullTargetPath(pszPath, pszFull);
    if (r != DLE_OK)
        return r;
    CAutoLock lock(m_cs);
    return m_bStarted ? DLE_OK : DLE_NOT_INITIALIZED;
}

LONG CEngine::Adopt(CDownloadTask* pTask, LONG* plTaskId)
{
    if (pTask == NULL)
        return DLE_NO_RESOURCES;
    LONG r = Insert(pTask, plTaskId);
    if (r != DLE_OK)
        pTask->Release();
    return r;
}

LONG CEngine::CreateTask(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTaskId)
{
    DL_TASK_PARAMS params;
    ZeroMemory(&params, sizeof(params));
    params.cbSize = sizeof(params);
    params.pszPath = pszPath;
    params.ppszUrls = &pszUrl;
    params.cUrls = 1;
    params.pszReferrer = pszReferrer;
    if (pszUrl == NULL) {
        if (plTaskId != NULL)
            *plTaskId = 0;
        return DLE_INVALID_ARG;
    }
    return CreateTaskEx(&params, plTaskId);
}

// Checks the addresses, referrer and expected content of params (cUrls may be 0 when
// bAllowNoUrl) and fills the task's params from them, the path aside.
static LONG CheckParams(const DL_TASK_PARAMS* pParams, BOOL bAllowNoUrl, CDownloadTask::Params* pOut, BYTE* pbSha)
{
    if (pParams == NULL || pParams->cbSize < sizeof(DL_TASK_PARAMS))
        return DLE_INVALID_ARG;
    if (pParams->cUrls < (bAllowNoUrl ? 0 : 1) || pParams->cUrls > DL_MAX_MIRRORS ||
        (pParams->cUrls > 0 && pParams->ppszUrls == NULL))
        return DLE_INVALID_ARG;
    for (LONG i = 0; i < pParams->cUrls; ++i) {
        LPCWSTR psz = pParams->ppszUrls[i];
        if (psz == NULL || psz[0] == L'\0')
            return DLE_INVALID_ARG;
        if (BoundedLength(psz, DL_MAX_URL) > DL_MAX_URL)
            return DLE_TOO_LONG;
        CUrl url;
        LONG r = url.Parse(psz);
        if (r != DLE_OK)
            return r;
    }
    if (pParams->pszReferrer != NULL && BoundedLength(pParams->pszReferrer, DL_MAX_URL) > DL_MAX_URL)
        return DLE_TOO_LONG;
    pOut->pbSha256 = NULL;
    if (pParams->pszSha256 != NULL) {
        if (BoundedLength(pParams->pszSha256, DL_SHA256_CHARS) != DL_SHA256_CHARS ||
            !CSha256::ParseHex(pParams->pszSha256, pbSha))
            return DLE_INVALID_ARG;
        pOut->pbSha256 = pbSha;
    }
    pOut->ppszUrls = pParams->ppszUrls;
    pOut->cUrls = pParams->cUrls;
    pOut->pszReferrer = pParams->pszReferrer;
    pOut->ullExpectedSize = pParams->ullExpectedSize;
    return DLE_OK;
}

LONG CEngine::CreateTaskEx(const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    if (plTaskId == NULL)
        return DLE_INVALID_ARG;
    *plTaskId = 0;
    CDownloadTask::Params params;
    BYTE abSha[SHA256_DIGEST_SIZE];
    LONG r = CheckParams(pParams, FALSE, &params, abSha);
    if (r != DLE_OK)
        return r;
    if (pParams->pszPath == NULL || pParams->pszPath[0] == L'\0')
        return DLE_INVALID_ARG;
    if (BoundedLength(pParams->pszPath, DL_MAX_PATH) > DL_MAX_PATH)
        return DLE_TOO_LONG;
    WCHAR szFull[DL_MAX_PATH + 1];
    if ((r = PrepareTarget(pParams->pszPath, szFull)) != DLE_OK)
        return r;
    // A known size is checked against the volume before anything starts (the folder need not exist yet).
    if (params.ullExpectedSize != 0 &&
        (r = CheckVolumeFor(szFull, params.ullExpectedSize, params.ullExpectedSize)) != DLE_OK)
        return r;
    params.pszPath = szFull;
    return Adopt(CDownloadTask::CreateNew(params), plTaskId);
}

// The record against the data file beside it and against what the caller expects now.
static LONG CheckRecord(const CWorkRecord& record, LPCWSTR pszWork, const CDownloadTask::Params& params)
{
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!::GetFileAttributesExW(pszWork, GetFileExInfoStandard, &fad))
        return DLE_WORKFILE_MISSING;
    ULONGLONG size = ((ULONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
    UINT n = record.ranges.Count();
    ULONGLONG lastEnd = n ? record.ranges.At(n - 1).ullEnd : 0;
    BOOL bSizeKnown = (record.dwFlags & CWorkRecord::FLAG_SIZE_KNOWN) != 0;
    if ((fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (bSizeKnown ? size != record.ullTotal : size < lastEnd))
        return DLE_WORKFILE_MISMATCH;
    // Bytes of a file the caller does not expect are never mixed with the one it does.
    ULONGLONG ullExpected = params.ullExpectedSize;
    if (ullExpected != 0 && ((bSizeKnown && record.ullTotal != ullExpected) ||
                             (record.ullExpected != 0 && record.ullExpected != ullExpected)))
        return DLE_WORKFILE_MISMATCH;
    if (params.pbSha256 != NULL && (record.dwFlags & CWorkRecord::FLAG_SHA256) &&
        memcmp(params.pbSha256, record.abSha256, SHA256_DIGEST_SIZE) != 0)
        return DLE_WORKFILE_MISMATCH;
    CUrl url;
    if (url.Parse(record.szUrl) != DLE_OK)
        return DLE_WORKFILE_CORRUPT;
    return DLE_OK;
}

LONG CEngine::ResumeTask(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    if (plTaskId == NULL)
        return DLE_INVALID_ARG;
    *plTaskId = 0;
    if (pszWorkFile == NULL || pszWorkFile[0] == L'\0')
        return DLE_INVALID_ARG;
    CDownloadTask::Params params;
    ZeroMemory(&params, sizeof(params));
    BYTE abSha[SHA256_DIGEST_SIZE];
    LONG r = pParams != NULL ? CheckParams(pParams, TRUE, &params, abSha) : DLE_OK;
    if (r != DLE_OK)
        return r;
    int cch = BoundedLength(pszWorkFile, DL_MAX_PATH + 3);
    if (cch > DL_MAX_PATH + 3)
        return DLE_TOO_LONG;
    if (cch < 4 || lstrcmpiW(pszWorkFile + cch - 3, L".dl") != 0)
        return DLE_INVALID_ARG;
    WCHAR szPath[DL_MAX_PATH + 1];
    lstrcpynW(szPath, pszWorkFile, cch - 3 + 1);
    WCHAR szFull[DL_MAX_PATH + 1];
    if ((r = PrepareTarget(szPath, szFull)) != DLE_OK)
        return r;

    WCHAR szWork[DL_MAX_PATH + 8];
    WCHAR szRecord[DL_MAX_PATH + 8];
    _snwprintf(szWork, DL_MAX_PATH + 8, L"%ls.dl", szFull);
    _snwprintf(szRecord, DL_MAX_PATH + 8, L"%ls.dl.cfg", szFull);
    szWork[DL_MAX_PATH + 7] = szRecord[DL_MAX_PATH + 7] = L'\0';

    CWorkRecord* pRecord = new (std::nothrow) CWorkRecord();
    if (pRecord == NULL)
        return DLE_NO_RESOURCES;
    r = pRecord->Load(szRecord);
    if (r == DLE_OK)
        r = CheckRecord(*pRecord, szWork, params);
    params.pszPath = szFull;
    CDownloadTask* pTask = r == DLE_OK ? CDownloadTask::CreateFromRecord(params, *pRecord) : NULL;
    delete pRecord;
    return r != DLE_OK ? r : Adopt(pTask, plTaskId);
}

LONG CEngine::VerifyFile(LPCWSTR pszPath, ULONGLONG ullExpectedSize, LPCWSTR pszSha256, LONG* plTaskId)
{
    if (plTaskId == NULL)
        return DLE_INVALID_ARG;
    *plTaskId = 0;
    if (pszPath == NULL || pszPath[0] == L'\0' || pszSha256 == NULL)
        return DLE_INVALID_ARG;
    if (BoundedLength(pszPath, DL_MAX_PATH) > DL_MAX_PATH)
        return DLE_TOO_LONG;
    BYTE abSha[SHA256_DIGEST_SIZE];
    if (BoundedLength(pszSha256, DL_SHA256_CHARS) != DL_SHA256_CHARS || !CSha256::ParseHex(pszSha256, abSha))
        return DLE_INVALID_ARG;
    WCHAR szFull[DL_MAX_PATH + 1];
    LONG r = PrepareTarget(pszPath, szFull);
    if (r != DLE_OK)
        return r;
    CDownloadTask::Params params;
    ZeroMemory(&params, sizeof(params));
    params.pszPath = szFull;
    params.ullExpectedSize = ullExpectedSize;
    params.pbSha256 = abSha;
    return Adopt(CDownloadTask::CreateVerifyOnly(params), plTaskId);
}

LONG CEngine::AddMirror(LONG lTaskId, LPCWSTR pszUrl)
{
    if (pszUrl == NULL || pszUrl[0] == L'\0')
        return DLE_INVALID_ARG;
    if (BoundedLength(pszUrl, DL_MAX_URL) > DL_MAX_URL)
        return DLE_TOO_LONG;
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    LONG r = pTask->AddMirror(pszUrl);
    pTask->Release();
    return r;
}

LONG CEngine::QueryEx(LONG lTaskId, DL_TASK_INFO* pInfo)
{
    if (pInfo == NULL || pInfo->cbSize < sizeof(DL_TASK_INFO))
        return DLE_INVALID_ARG;
    CDownloadTask* pTask = Find(lTaskId);
    if (pTask == NULL)
        return m_bStarted ? DLE_UNKNOWN_TASK : DLE_NOT_INITIALIZED;
    pTask->QueryEx(pInfo);
    pTask->Release();
    return DLE_OK;
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

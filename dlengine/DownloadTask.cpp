#include "DownloadTask.h"
#include "Backoff.h"
#include "EngineOptions.h"
#include "ModulePin.h"
#include "ProxyConfig.h"
#include "Volume.h"
#include "WinHttpTransport.h"
#include "Worker.h"
#include <new>
#include <string.h>
#include <wchar.h>

using namespace dl;

static const ULONGLONG kUnknownEnd = ~(ULONGLONG)0;

CDownloadTask::CDownloadTask()
    : m_lRefs(1), m_lId(0), m_lStatus(DL_STATUS_CONNECTING), m_lError(DLE_OK), m_lLastFault(DLE_OK), m_dwLastFault(0),
      m_reason(REASON_NONE), m_lAborting(0), m_hThread(NULL), m_dwThreadId(0), m_hPin(NULL), m_bRunning(FALSE),
      m_bHaveState(FALSE), m_bDataOnDisk(FALSE), m_bResetData(FALSE), m_ullTotal(0), m_bSizeKnown(FALSE),
      m_bRanges(FALSE), m_ullBuffered(0), m_ullSerial(0), m_bStreamEnded(FALSE), m_ullStreamEnd(0),
      m_nValidatorMirror(-1), m_ullExpected(0), m_bHaveSha(FALSE), m_bVerifyOnly(FALSE), m_dwPatienceMs(PatienceMs()),
      m_dwLastProgress(0), m_nRevivals(0), m_dwReviveAt(0), m_nFullAnswers(0), m_bProbeFromZero(FALSE), m_nLive(0),
      m_nRetired(0), m_dwLastRetire(0), m_ullSavedSerial(0), m_ullRespawnSerial(0), m_bProxyChecked(FALSE),
      m_bUseProxy(FALSE), m_hSession(NULL)
{
    m_szPath[0] = m_szWork[0] = m_szRecord[0] = m_szTemp[0] = m_szUrl[0] = m_szReferrer[0] = L'\0';
    m_szReferrerA[0] = m_szETag[0] = m_szLastModified[0] = '\0';
    m_szProxy[0] = m_szBypass[0] = L'\0';
    ZeroMemory(m_workers, sizeof(m_workers));
    ZeroMemory(m_abSha, sizeof(m_abSha));
    for (int i = 0; i < MAX_CONNECTIONS; ++i)
        m_anWorkerMirror[i] = -1;
    m_hAbort = ::CreateEventW(NULL, TRUE, FALSE, NULL);
    m_hWorkerExit = ::CreateEventW(NULL, FALSE, FALSE, NULL);
}

CDownloadTask::~CDownloadTask()
{
    if (m_hThread != NULL) {
        // The controller holds a reference until its last use of the task: when another thread
        // ends up here, the controller has only its exit left.
        if (m_dwThreadId != ::GetCurrentThreadId())
            ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
    }
    if (m_hSession != NULL)
        ::WinHttpCloseHandle((HINTERNET)m_hSession);
    if (m_hAbort != NULL)
        ::CloseHandle(m_hAbort);
    if (m_hWorkerExit != NULL)
        ::CloseHandle(m_hWorkerExit);
}

void CDownloadTask::AddRef() { ::InterlockedIncrement(&m_lRefs); }

void CDownloadTask::Release()
{
    if (::InterlockedDecrement(&m_lRefs) == 0)
        delete this;
}

BOOL CDownloadTask::InitCommon(const Params& params)
{
    if (m_hAbort == NULL || m_hWorkerExit == NULL)
        return FALSE;
    lstrcpynW(m_szPath, params.pszPath, DL_MAX_PATH + 1);
    _snwprintf(m_szWork, DL_MAX_PATH + 8, L"%ls.dl", m_szPath);
    _snwprintf(m_szRecord, DL_MAX_PATH + 8, L"%ls.dl.cfg", m_szPath);
    _snwprintf(m_szTemp, DL_MAX_PATH + 8, L"%ls.dl.new", m_szPath);
    m_szWork[DL_MAX_PATH + 7] = m_szRecord[DL_MAX_PATH + 7] = m_szTemp[DL_MAX_PATH + 7] = L'\0';
    for (int i = 0; i < params.cUrls; ++i) {
        if (m_mirrors.Add(params.ppszUrls[i]) < 0)
            return FALSE;
    }
    lstrcpynW(m_szUrl, m_mirrors.Count() ? m_mirrors.At(0).szUrl : L"", DL_MAX_URL + 1);
    lstrcpynW(m_szReferrer, params.pszReferrer != NULL ? params.pszReferrer : L"", DL_MAX_URL + 1);
    if (m_szReferrer[0] != L'\0' &&
        ::WideCharToMultiByte(CP_UTF8, 0, m_szReferrer, -1, m_szReferrerA, sizeof(m_szReferrerA), NULL, NULL) <= 0)
        m_szReferrerA[0] = '\0';
    m_ullExpected = params.ullExpectedSize;
    if (params.pbSha256 != NULL) {
        memcpy(m_abSha, params.pbSha256, SHA256_DIGEST_SIZE);
        m_bHaveSha = TRUE;
    }
    return TRUE;
}

CDownloadTask* CDownloadTask::CreateNew(const Params& params)
{
    CDownloadTask* p = new (std::nothrow) CDownloadTask();
    if (p != NULL && (!p->InitCommon(params) || p->m_mirrors.Count() == 0)) {
        p->Release();
        p = NULL;
    }
    return p;
}

CDownloadTask* CDownloadTask::CreateFromRecord(const Params& params, const CWorkRecord& record)
{
    CDownloadTask* p = new (std::nothrow) CDownloadTask();
    if (p == NULL)
        return NULL;
    // The record's addresses first (its validators came from the first), then the new ones.
    LPCWSTR apsz[DL_MAX_MIRRORS * 2 + 1];
    int n = 0;
    apsz[n++] = record.szUrl;
    for (int i = 0; i < record.nMirrors && n < DL_MAX_MIRRORS * 2 + 1; ++i)
        apsz[n++] = record.aszMirrors[i];
    for (int i = 0; i < params.cUrls && n < DL_MAX_MIRRORS * 2 + 1; ++i)
        apsz[n++] = params.ppszUrls[i];
    Params all = params;
    all.ppszUrls = apsz;
    all.cUrls = n;
    all.pszReferrer = record.szReferrer;
    if (all.ullExpectedSize == 0)
        all.ullExpectedSize = record.ullExpected;
    if (all.pbSha256 == NULL && (record.dwFlags & CWorkRecord::FLAG_SHA256))
        all.pbSha256 = record.abSha256;
    // Beyond DL_MAX_MIRRORS the later addresses are left out.
    if (all.cUrls > DL_MAX_MIRRORS)
        all.cUrls = DL_MAX_MIRRORS;
    if (!p->InitCommon(all) || !p->m_written.CopyFrom(record.ranges)) {
        p->Release();
        return NULL;
    }
    p->m_bHaveState = TRUE;
    p->m_bDataOnDisk = TRUE;
    p->m_ullTotal = record.ullTotal;
    p->m_bSizeKnown = (record.dwFlags & CWorkRecord::FLAG_SIZE_KNOWN) != 0;
    p->m_bRanges = (record.dwFlags & CWorkRecord::FLAG_RANGES) != 0;
    lstrcpynA(p->m_szETag, record.szETag, sizeof(p->m_szETag));
    lstrcpynA(p->m_szLastModified, record.szLastModified, sizeof(p->m_szLastModified));
    p->m_nValidatorMirror = 0;
    return p;
}

CDownloadTask* CDownloadTask::CreateVerifyOnly(const Params& params)
{
    CDownloadTask* p = new (std::nothrow) CDownloadTask();
    if (p == NULL)
        return NULL;
    Params none = params;
    none.cUrls = 0;
    if (!p->InitCommon(none)) {
        p->Release();
        return NULL;
    }
    p->m_bVerifyOnly = TRUE;
    p->m_lStatus = DL_STATUS_VERIFYING;
    return p;
}

// ---- public operations ----

LONG CDownloadTask::StartThread()
{
    if (m_hThread != NULL) {
        ::CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    m_bRunning = TRUE;
    m_dwLastProgress = ::GetTickCount();
    m_nRevivals = 0;
    // The thread keeps the task and the engine's module alive until it ends, so a stop that
    // does not wait for it (a hung disk or network call) frees nothing still in use.
    AddRef();
    m_hPin = PinOwnModule();
    m_hThread = ::CreateThread(NULL, 256 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, &m_dwThreadId);
    if (m_hThread == NULL) {
        if (m_hPin != NULL)
            ::FreeLibrary(m_hPin);
        m_bRunning = FALSE;
        ::InterlockedDecrement(&m_lRefs);  // the caller still holds one
        return DLE_NO_RESOURCES;
    }
    return DLE_OK;
}

LONG CDownloadTask::Start()
{
    CAutoLock control(m_csControl);
    CAutoLock lock(m_cs);
    return StartThread();
}

LONG CDownloadTask::Pause(BOOL bWait)
{
    CAutoLock control(m_csControl);
    {
        CAutoLock lock(m_cs);
        if (!m_bRunning)
            return m_lStatus == DL_STATUS_PAUSED ? DLE_OK : DLE_BAD_STATE;
        SetReason(REASON_PAUSE);
    }
    if (bWait)
        ::WaitForSingleObject(m_hThread, INFINITE);
    return DLE_OK;
}

LONG CDownloadTask::Continue()
{
    CAutoLock control(m_csControl);
    {
        CAutoLock lock(m_cs);
        BOOL bPausing = m_bRunning && m_reason == REASON_PAUSE;
        if (!bPausing && !(!m_bRunning && m_lStatus == DL_STATUS_PAUSED))
            return DLE_BAD_STATE;
    }
    ::WaitForSingleObject(m_hThread, INFINITE);
    CAutoLock lock(m_cs);
    if (m_lStatus != DL_STATUS_PAUSED)
        return DLE_BAD_STATE;  // the pause ended in a failure or completion instead
    m_reason = REASON_NONE;
    m_lAborting = 0;
    ::ResetEvent(m_hAbort);
    m_lStatus = m_bVerifyOnly ? DL_STATUS_VERIFYING : DL_STATUS_CONNECTING;
    return StartThread();
}

void CDownloadTask::Stop(DWORD dwWaitMs)
{
    CAutoLock control(m_csControl);
    {
        CAutoLock lock(m_cs);
        if (!m_bRunning) {
            if (m_lStatus == DL_STATUS_PAUSED)
                m_lStatus = DL_STATUS_STOPPED;
            return;
        }
        SetReason(REASON_STOP);
    }
    // Bounded: the work files are brought up to date by the controller on its way out, even
    // when that takes longer than the caller may wait.
    ::WaitForSingleObject(m_hThread, dwWaitMs);
}

void CDownloadTask::Query(LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived)
{
    CAutoLock lock(m_cs);
    *plStatus = m_lStatus;
    *pullTotal = m_bSizeKnown ? m_ullTotal : 0;
    *pullReceived = m_written.Bytes() + m_ullBuffered;
}

void CDownloadTask::QueryEx(DL_TASK_INFO* pInfo)
{
    CAutoLock lock(m_cs);
    pInfo->lStatus = m_lStatus;
    pInfo->ullTotal = m_bSizeKnown ? m_ullTotal : 0;
    pInfo->ullReceived = m_bVerifyOnly ? 0 : m_written.Bytes() + m_ullBuffered;
    pInfo->ullVerified = m_hasher.BytesDone();
    pInfo->lMirrors = m_mirrors.Alive();
    int nConns = 0;
    for (int i = 0; i < m_mirrors.Count(); ++i)
        nConns += m_mirrors.At(i).nConns;
    pInfo->lConnections = m_bRunning ? nConns : 0;
    pInfo->lLastError = DL_STATUS_IS_FAILED(m_lStatus) ? m_lError : m_lLastFault;
    DWORD stalled = TicksSince(m_dwLastProgress);
    pInfo->dwStalledMs = (m_bRunning && !m_bVerifyOnly && stalled >= 1000) ? stalled : 0;
}

LONG CDownloadTask::AddMirror(LPCWSTR pszUrl)
{
    CAutoLock lock(m_cs);
    if (m_bVerifyOnly || (!m_bRunning && m_lStatus != DL_STATUS_PAUSED))
        return DLE_BAD_STATE;
    int i = m_mirrors.Add(pszUrl);
    if (i == -2)
        return DLE_UNSUPPORTED_URL;
    if (i < 0)
        return DLE_NO_RESOURCES;
    // A mirror given again after it was dropped gets another chance.
    if (m_mirrors.At(i).state == DLMirror::DROPPED) {
        m_mirrors.At(i).state = DLMirror::UNTRIED;
        m_mirrors.At(i).nFaults = 0;
        m_mirrors.At(i).url.Parse(m_mirrors.At(i).szUrl);
    }
    // Connections waiting out a back-off try the new address at once.
    m_dwReviveAt = ::GetTickCount();
    return DLE_OK;
}

BOOL CDownloadTask::HoldsFiles()
{
    CAutoLock lock(m_cs);
    return m_bRunning || m_lStatus == DL_STATUS_PAUSED;
}

BOOL CDownloadTask::HasEnded()
{
    CAutoLock lock(m_cs);
    return !m_bRunning && m_lStatus != DL_STATUS_PAUSED;
}

void* CDownloadTask::WinHttpSession()
{
    CAutoLock lock(m_cs);
    if (m_hSession == NULL)
        m_hSession = CWinHttpTransport::OpenSession(m_bUseProxy ? m_szProxy : NULL, m_szBypass);
    return m_hSession;
}

// ---- shared with the connection threads ----

void CDownloadTask::SetReason(Reason r)
{
    // Stop over pause over failure over restart; the first failure's code stays.
    if (r > m_reason)
        m_reason = r;
    m_lAborting = 1;
    ::SetEvent(m_hAbort);
}

void CDownloadTask::Fail(LONG lError)
{
    CAutoLock lock(m_cs);
    if (m_reason == REASON_NONE || m_reason == REASON_RESTART)
        m_lError = lError;
    SetReason(REASON_FAIL);
}

void CDownloadTask::RequestRestart()
{
    CAutoLock lock(m_cs);
    SetReason(REASON_RESTART);
}

void CDownloadTask::NoteFault(int nWorker, LONG lError)
{
    CAutoLock lock(m_cs);
    m_lLastFault = lError;
    m_dwLastFault = ::GetTickCount();
    int m = m_anWorkerMirror[nWorker];
    if (m >= 0)
        m_mirrors.OnFault(m, lError, m_dwLastFault, 0);
}

BOOL CDownloadTask::IsRanged()
{
    CAutoLock lock(m_cs);
    return m_bRanges && m_bSizeKnown;
}

void CDownloadTask::GetEffectiveUrl(int nWorker, CUrl* pUrl, CUrl* pGiven)
{
    CAutoLock lock(m_cs);
    int m = m_anWorkerMirror[nWorker];
    const DLMirror& mirror = m_mirrors.At(m >= 0 ? m : 0);
    *pUrl = mirror.url;
    if (pGiven->Parse(mirror.szUrl) != DLE_OK)
        *pGiven = mirror.url;
}

int CDownloadTask::AcquirePart(int nWorker, ULONGLONG* pullPos, ULONGLONG* pullEnd)
{
    CAutoLock lock(m_cs);
    int nOld = m_anWorkerMirror[nWorker];
    int nMirror = m_mirrors.Pick(nOld, ::GetTickCount());
    int i = nMirror >= 0 ? m_parts.Acquire(nWorker) : -1;
    if (i < 0) {
        if (nMirror < 0) {
            // No mirror takes another connection now: the controller may bring it back later.
            m_parts.Release(nWorker);
            ++m_nRetired;
            m_dwLastRetire = ::GetTickCount();
        }
        if (nOld >= 0)
            m_mirrors.Detach(nOld);
        m_anWorkerMirror[nWorker] = -1;
        --m_nLive;
        return -1;
    }
    if (nMirror != nOld) {
        if (nOld >= 0)
            m_mirrors.Detach(nOld);
        m_mirrors.Attach(nMirror);
        m_anWorkerMirror[nWorker] = nMirror;
    }
    *pullPos = m_parts.Part(i).ullPos;
    *pullEnd = m_parts.Part(i).ullEnd;
    return i;
}

DWORD CDownloadTask::Advance(int iPart, DWORD cb, ULONGLONG* pullEnd)
{
    CAutoLock lock(m_cs);
    DWORD take = m_parts.Advance(iPart, cb);
    m_ullBuffered += take;
    *pullEnd = m_parts.Part(iPart).ullEnd;
    DWORD now = ::GetTickCount();
    int nOwner = m_parts.Part(iPart).nOwner;
    if (nOwner >= 0 && nOwner < MAX_CONNECTIONS && m_anWorkerMirror[nOwner] >= 0)
        m_mirrors.OnBytes(m_anWorkerMirror[nOwner], take, now);
    m_dwLastProgress = now;
    m_nRevivals = 0;
    if (m_lStatus == DL_STATUS_CONNECTING || m_lStatus == DL_STATUS_RETRYING)
        m_lStatus = DL_STATUS_DOWNLOADING;
    return take;
}

void CDownloadTask::OnWritten(ULONGLONG ullOffset, DWORD cb)
{
    CAutoLock lock(m_cs);
    m_ullBuffered -= cb;
    ++m_ullSerial;
    if (!m_written.Add(ullOffset, ullOffset + cb)) {
        m_lError = DLE_NO_RESOURCES;
        SetReason(REASON_FAIL);
    }
}

void CDownloadTask::OnLost(DWORD cb)
{
    CAutoLock lock(m_cs);
    m_ullBuffered -= cb;
}

void CDownloadTask::EndStream(int iPart, ULONGLONG ullEnd)
{
    CAutoLock lock(m_cs);
    m_parts.EndAtPosition(iPart);
    m_bStreamEnded = TRUE;
    m_ullStreamEnd = ullEnd;
}

static LONG ErrorForStatus(int nStatus)
{
    if (nStatus == 404 || nStatus == 410)
        return DLE_HTTP_NOT_FOUND;
    if (nStatus == 408 || nStatus == 429 || (nStatus >= 500 && nStatus <= 599))
        return DLE_HTTP_SERVER;
    if (nStatus >= 400 && nStatus <= 499)
        return DLE_HTTP_REFUSED;
    if (nStatus >= 300 && nStatus <= 399)
        return DLE_REDIRECTS;
    return DLE_PROTOCOL;
}

LONG CDownloadTask::DropMirrorOf(int nWorker, LONG lReason)
{
    int m = m_anWorkerMirror[nWorker];
    if (m < 0)
        return lReason;
    m_mirrors.Drop(m, lReason);
    m_mirrors.Detach(m);
    m_anWorkerMirror[nWorker] = -1;
    m_lLastFault = lReason;
    m_dwLastFault = ::GetTickCount();
    // The connection's part goes to whichever mirror it asks next.
    return m_mirrors.Alive() > 0 ? DLX_AGAIN : lReason;
}

LONG CDownloadTask::CheckMirrorSize(ULONGLONG ullTotal, int nMirror) const
{
    if (m_ullExpected != 0 && ullTotal != m_ullExpected)
        return DLE_SIZE_MISMATCH;
    // Once several mirrors serve the download, one that reports another size is the odd one out.
    if (m_bHaveState && m_bSizeKnown && ullTotal != m_ullTotal && nMirror != m_nValidatorMirror)
        return DLE_SIZE_MISMATCH;
    return DLE_OK;
}

// The file as known, with the validators only when nMirror is the mirror they came from:
// another server's ETag says nothing about this one's file.
DLKnownFile CDownloadTask::Known(int nMirror) const
{
    DLKnownFile k;
    BOOL bValidators = nMirror == m_nValidatorMirror || m_nValidatorMirror < 0;
    k.bHaveBytes = m_bHaveState && m_written.Count() != 0;
    k.bSizeKnown = m_bSizeKnown;
    k.bRanges = m_bRanges;
    k.ullTotal = m_ullTotal;
    k.pszETag = bValidators ? m_szETag : "";
    k.pszLastModified = bValidators ? m_szLastModified : "";
    return k;
}

// A part request answered with an error status. The connection has already gone back once to
// the address its mirror was given when a redirect target refused.
LONG CDownloadTask::RefusedPart(int nWorker, int nStatus)
{
    LONG r = ErrorForStatus(nStatus);
    int m = m_anWorkerMirror[nWorker];
    if (m < 0)
        return r;
    if ((nStatus == 503 || nStatus == 429) && m_mirrors.At(m).nConns > 1) {
        // The mirror limits connections per client: hold it to those it already serves.
        m_mirrors.OnFull(m);
        m_mirrors.Detach(m);
        m_anWorkerMirror[nWorker] = -1;
        return DLX_AGAIN;
    }
    if (r == DLE_HTTP_NOT_FOUND || (r == DLE_HTTP_REFUSED && m_mirrors.Alive() > 1))
        return DropMirrorOf(nWorker, r);
    // The last mirror refusing one part after it answered the probe is a passing fault of this
    // connection (retried within the worker's limits and the patience window): it does not
    // prove the file gone, and dropping it would end the task.
    return r;
}

LONG CDownloadTask::CheckPartHead(int nWorker, const CHttpHead& head, ULONGLONG ullPos, const CUrl& url)
{
    CAutoLock lock(m_cs);
    if (head.nStatus != 200 && head.nStatus != 206 && head.nStatus != 416)
        return RefusedPart(nWorker, head.nStatus);
    int m = m_anWorkerMirror[nWorker];
    BOOL bOthers = m_mirrors.Alive() > 1;
    if (m >= 0 && head.nStatus == 206 && head.llRangeTotal >= 0 && (ULONGLONG)head.llRangeTotal != m_ullTotal &&
        (m_ullExpected != 0 || bOthers || m != m_nValidatorMirror))
        return DropMirrorOf(nWorker, DLE_SIZE_MISMATCH);
    DLVerdict v = JudgePartAnswer(Known(m), head, ullPos);
    if (v == DLV_NEW_VERSION) {
        SetReason(REASON_RESTART);
        return DLX_RESTART;
    }
    if (v != DLV_FITS) {
        // A 200 or 416 to one part request is this mirror's fault, not news about the file:
        // while others are alive they serve instead.
        return (bOthers && head.nStatus != 206) ? DropMirrorOf(nWorker, DLE_PROTOCOL) : DLE_PROTOCOL;
    }
    if (m >= 0) {
        // A fresh redirect target (after going back to the given address) serves the next parts.
        m_mirrors.At(m).url = url;
        if (m_mirrors.At(m).state == DLMirror::UNTRIED)
            m_mirrors.At(m).state = DLMirror::USABLE;
    }
    return DLE_OK;
}

BOOL CDownloadTask::Retire(int nWorker)
{
    CAutoLock lock(m_cs);
    if (m_anWorkerMirror[nWorker] >= 0)
        m_mirrors.Detach(m_anWorkerMirror[nWorker]);
    m_anWorkerMirror[nWorker] = -1;
    --m_nLive;
    ++m_nRetired;
    m_dwLastRetire = ::GetTickCount();
    m_parts.Release(nWorker);
    return TRUE;
}

void CDownloadTask::OnWorkerExit(BOOL bCounted)
{
    {
        CAutoLock lock(m_cs);
        if (bCounted)
            --m_nLive;
    }
    ::SetEvent(m_hWorkerExit);
}

// ---- the controller thread ----

DWORD WINAPI CDownloadTask::ThreadProc(LPVOID pv)
{
    CDownloadTask* p = (CDownloadTask*)pv;
    HMODULE hPin = p->m_hPin;
    p->Run();
    p->Release();
    if (hPin != NULL)
        ::FreeLibraryAndExitThread(hPin, 0);
    return 0;
}

void CDownloadTask::Run()
{
    if (m_bVerifyOnly) {
        RunVerifyOnly();
        return;
    }
    if (!m_bProxyChecked) {
        m_bProxyChecked = TRUE;
        m_bUseProxy = FindSystemProxy(m_szUrl, m_szProxy, 1024, m_szBypass, 1024);
    }
    LONG r = Download();
    Conclude(r);
}

void CDownloadTask::ForgetProgress()
{
    m_written.Clear();
    m_bHaveState = FALSE;
    m_bResetData = m_bDataOnDisk;
    m_ullTotal = 0;
    m_bSizeKnown = FALSE;
    m_bRanges = FALSE;
    m_szETag[0] = m_szLastModified[0] = '\0';
    m_bStreamEnded = FALSE;
    m_ullSerial++;
}

BOOL CDownloadTask::ResetForRestart()
{
    CAutoLock lock(m_cs);
    if (m_reason != REASON_RESTART)
        return FALSE;
    m_reason = REASON_NONE;
    m_lAborting = 0;
    ::ResetEvent(m_hAbort);
    ForgetProgress();
    return TRUE;
}

LONG CDownloadTask::Download()
{
    for (int nRestarts = 0;; ++nRestarts) {
        BOOL bComplete;
        {
            CAutoLock lock(m_cs);
            bComplete = m_bHaveState && m_bSizeKnown && m_written.Covers(m_ullTotal);
        }
        if (bComplete) {
            // Everything is on disk already (the run ended before the rename): finish only.
            LONG r = Prepare();
            if (r != DLE_OK)
                return r;
            CAutoLock lock(m_cs);
            if (m_written.Covers(m_ullTotal))
                return DLE_OK;
        }

        CConnection* pConn = NULL;
        CHttpHead head;
        int nMirror = -1;
        LONG r = Probe(&pConn, &head, &nMirror);
        if (r != DLE_OK)
            return r;
        r = Prepare();
        if (r != DLE_OK) {
            delete pConn;
            return r;
        }
        r = RunWorkers(pConn, head, nMirror);
        if (r != DLX_RESTART)
            return r;
        if (nRestarts + 1 >= MAX_RESTARTS)
            return m_lLastFault != DLE_OK ? m_lLastFault : DLE_NETWORK;
        if (!ResetForRestart())
            return DLX_ABORTED;
        if (!SleepUnlessStopped(m_hAbort, BackoffMs(nRestarts + 1, 0)))
            return DLX_ABORTED;
    }
}

static BOOL IsMirrorFault(LONG r)
{
    return r == DLE_HTTP_NOT_FOUND || r == DLE_HTTP_REFUSED || r == DLE_SIZE_MISMATCH || r == DLE_REDIRECTS ||
           r == DLE_UNSUPPORTED_URL || r == DLE_SECURE;
}

// Asks one mirror after another for the file from the first missing byte until one answers
// usably. Mirrors that fail for good are dropped; passing faults cool a mirror down, and the
// probe waits for the first to cool off for as long as the patience window allows.
LONG CDownloadTask::Probe(CConnection** ppConn, CHttpHead* pHead, int* pnMirror)
{
    for (;;) {
        if (Aborting())
            return DLX_ABORTED;
        ULONGLONG ullStart;
        int m;
        DWORD dwWait = 0;
        WCHAR szUrl[DL_MAX_URL + 1];
        {
            CAutoLock lock(m_cs);
            ullStart = m_bProbeFromZero ? 0 : m_written.FirstGap();
            m = m_mirrors.PickForProbe(::GetTickCount(), &dwWait);
            if (m < 0)
                return m_mirrors.LastDropReason() != DLE_OK ? m_mirrors.LastDropReason() : DLE_INVALID_ARG;
            if (dwWait > 0) {
                DWORD stalled = TicksSince(m_dwLastProgress);
                if (stalled >= m_dwPatienceMs)
                    return m_lLastFault != DLE_OK ? m_lLastFault : DLE_NETWORK;
                if (dwWait > m_dwPatienceMs - stalled)
                    dwWait = m_dwPatienceMs - stalled;
                m_lStatus = DL_STATUS_RETRYING;
            }
            lstrcpynW(szUrl, m_mirrors.At(m).szUrl, DL_MAX_URL + 1);
        }
        if (dwWait > 0) {
            if (!SleepUnlessStopped(m_hAbort, dwWait))
                return DLX_ABORTED;
            continue;
        }
        // Every probe starts from the address the caller gave, never a cached redirect target.
        CUrl url;
        LONG r = url.Parse(szUrl);
        CConnection* pConn = r == DLE_OK ? new (std::nothrow) CConnection(this) : NULL;
        if (r == DLE_OK && pConn == NULL)
            return DLE_NO_RESOURCES;
        if (r == DLE_OK) {
            DLRequest req;
            req.pUrl = &url;
            req.bRange = TRUE;
            req.ullFirst = ullStart;
            req.ullLast = 0;
            req.bOpenEnded = TRUE;
            req.pszReferrer = m_szReferrerA;
            pHead->Reset();
            r = pConn->Open(&url, req, pHead, NULL);
            if (r == DLE_OK)
                r = AcceptProbe(*pHead, ullStart, url, m);
        }
        if (r == DLE_OK) {
            *ppConn = pConn;
            *pnMirror = m;
            return DLE_OK;
        }
        delete pConn;
        if (r == DLX_AGAIN)
            continue;
        if (r == DLX_ABORTED)
            return r;
        CAutoLock lock(m_cs);
        m_lLastFault = r;
        m_dwLastFault = ::GetTickCount();
        if (IsMirrorFault(r))
            m_mirrors.Drop(m, r);
        else if (IsRetryable(r))
            m_mirrors.OnFault(m, r, m_dwLastFault, RetryAfterMs(pHead->dwRetryAfterSec));
        else
            return r;
    }
}

// A mirror's own fault in its probe answer (lock held): another size than the expected one or
// than the other mirrors', or no ranges while other mirrors can serve.
LONG CDownloadTask::ProbeMirrorFault(const CHttpHead& head, int nMirror) const
{
    if (head.nStatus == 206)
        return head.llRangeTotal >= 0 ? CheckMirrorSize((ULONGLONG)head.llRangeTotal, nMirror) : DLE_OK;
    if (head.nStatus == 416)
        return m_ullExpected != 0 ? DLE_SIZE_MISMATCH : DLE_OK;  // an empty file
    BOOL bLength = !head.bChunked && head.llContentLength >= 0;
    if (m_ullExpected != 0 && bLength && (ULONGLONG)head.llContentLength != m_ullExpected)
        return DLE_SIZE_MISMATCH;
    // A mirror without ranges is used only when no other is left.
    return m_mirrors.Alive() > 1 ? DLE_HTTP_REFUSED : DLE_OK;
}

LONG CDownloadTask::AcceptProbe(const CHttpHead& head, ULONGLONG ullStart, const CUrl& url, int nMirror)
{
    CAutoLock lock(m_cs);
    if (head.nStatus != 200 && head.nStatus != 206 && head.nStatus != 416)
        return ErrorForStatus(head.nStatus);
    // A range of another size from a mirror is that mirror's fault before it is any news.
    LONG r = head.nStatus == 206 ? ProbeMirrorFault(head, nMirror) : DLE_OK;
    if (r != DLE_OK)
        return r;
    DLVerdict v = JudgeProbeAnswer(Known(nMirror), head, ullStart, m_nFullAnswers);
    m_nFullAnswers = head.nStatus == 200 ? m_nFullAnswers + 1 : 0;
    m_bProbeFromZero = v == DLV_ASK_FROM_ZERO;
    if (v == DLV_ASK_FROM_ZERO)
        return DLX_AGAIN;
    if (v == DLV_FAULT)
        return DLE_PROTOCOL;  // kept on disk: a captive portal's page, a 416 without reason
    if (head.nStatus != 206 && (r = ProbeMirrorFault(head, nMirror)) != DLE_OK)
        return r;
    if (v == DLV_NEW_VERSION) {
        // Another version of the file: its bytes must not be mixed with the old ones. A 200
        // carries it from byte 0; a range from elsewhere is asked again.
        ForgetProgress();
        if (ullStart != 0 && head.nStatus != 200)
            return DLX_AGAIN;
    } else if (ullStart != m_written.FirstGap()) {
        return DLE_PROTOCOL;  // asked from byte 0 and found the same file: the server is inconsistent
    }
    if (head.nStatus == 206) {
        m_ullTotal = (ULONGLONG)head.llRangeTotal;
        m_bSizeKnown = TRUE;
        m_bRanges = TRUE;
    } else if (head.nStatus == 200) {
        if (m_bHaveState || m_written.Count() != 0)
            ForgetProgress();  // the whole file comes again from byte 0
        m_bSizeKnown = !head.bChunked && head.llContentLength >= 0;
        m_ullTotal = m_bSizeKnown ? (ULONGLONG)head.llContentLength : 0;
        m_bRanges = FALSE;
    } else {
        // "bytes=0-" of an empty file.
        m_ullTotal = 0;
        m_bSizeKnown = TRUE;
        m_bRanges = TRUE;
    }
    lstrcpynA(m_szETag, head.szETag, sizeof(m_szETag));
    lstrcpynA(m_szLastModified, head.szLastModified, sizeof(m_szLastModified));
    m_nValidatorMirror = nMirror;
    m_mirrors.At(nMirror).url = url;
    m_mirrors.At(nMirror).state = DLMirror::USABLE;
    m_bHaveState = TRUE;
    m_bStreamEnded = FALSE;
    return DLE_OK;
}

LONG CDownloadTask::Prepare()
{
    ULONGLONG ullTotal, ullHave;
    BOOL bSizeKnown;
    {
        CAutoLock lock(m_cs);
        ullTotal = m_ullTotal;
        bSizeKnown = m_bSizeKnown;
        ullHave = m_written.Bytes();
    }
    if (!m_data.IsOpen() && m_bDataOnDisk && !m_bResetData) {
        LONG r = m_data.Open(m_szWork);
        ULONGLONG size = 0;
        if (r == DLE_OK && bSizeKnown && (!m_data.GetSize(&size) || size != ullTotal))
            r = DLE_WORKFILE_MISMATCH;
        if (r != DLE_OK) {
            m_data.Close();
            CAutoLock lock(m_cs);
            m_written.Clear();
            ullHave = 0;
            m_bResetData = TRUE;
        }
    }
    if (m_data.IsOpen() && !m_bResetData) {
        // What the volume already holds for the file: all of it where files are not sparse.
        DWORD dwHigh = 0;
        DWORD dwLow = ::GetCompressedFileSizeW(m_szWork, &dwHigh);
        ULONGLONG ullAllocated = ((ULONGLONG)dwHigh << 32) | dwLow;
        if (!(dwLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) && ullAllocated > ullHave)
            ullHave = ullAllocated;
    }
    if (bSizeKnown) {
        // The file must be possible on the volume and its rest fit: better now than near the end.
        LONG r = CheckVolumeFor(m_szWork, ullTotal, ullTotal > ullHave ? ullTotal - ullHave : 0);
        if (r != DLE_OK)
            return r;
    }
    if (!m_data.IsOpen() || m_bResetData) {
        if (!CDataFile::CreateParentFolders(m_szWork))
            return DLE_CREATE_FILE;
        // The record that claims nothing goes first, so the old one never describes new bytes.
        LONG r = SaveRecord();
        if (r != DLE_OK)
            return r;
        r = m_data.IsOpen() ? m_data.Reset(ullTotal, bSizeKnown) : m_data.Create(m_szWork, ullTotal, bSizeKnown);
        if (r != DLE_OK)
            return r;
        m_bDataOnDisk = TRUE;
        m_bResetData = FALSE;
    }
    return Checkpoint();
}

LONG CDownloadTask::SaveRecord(const CRangeSet* pClaims)
{
    {
        CAutoLock lock(m_cs);
        m_record.ullTotal = m_ullTotal;
        m_record.dwFlags =
            (m_bSizeKnown ? CWorkRecord::FLAG_SIZE_KNOWN : 0) | (m_bRanges ? CWorkRecord::FLAG_RANGES : 0);
        // The first address is the one the validators came from; the others follow.
        int nFirst = m_nValidatorMirror >= 0 ? m_nValidatorMirror : 0;
        lstrcpynW(m_record.szUrl, m_mirrors.At(nFirst).szUrl, DL_MAX_URL + 1);
        m_record.nMirrors = 0;
        for (int i = 0; i < m_mirrors.Count(); ++i) {
            if (i != nFirst && m_mirrors.At(i).state != DLMirror::DROPPED)
                lstrcpynW(m_record.aszMirrors[m_record.nMirrors++], m_mirrors.At(i).szUrl, DL_MAX_URL + 1);
        }
        m_record.ullExpected = m_ullExpected;
        if (m_bHaveSha) {
            m_record.dwFlags |= CWorkRecord::FLAG_SHA256;
            memcpy(m_record.abSha256, m_abSha, SHA256_DIGEST_SIZE);
        }
        lstrcpynW(m_record.szReferrer, m_szReferrer, DL_MAX_URL + 1);
        lstrcpynA(m_record.szETag, m_szETag, sizeof(m_record.szETag));
        lstrcpynA(m_record.szLastModified, m_szLastModified, sizeof(m_record.szLastModified));
        if (m_bResetData || !m_record.ranges.CopyFrom(pClaims != NULL ? *pClaims : m_written))
            m_record.ranges.Clear();
    }
    return m_record.Save(m_szRecord, m_szTemp);
}

LONG CDownloadTask::Checkpoint()
{
    ULONGLONG serial;
    BOOL bCopied;
    {
        CAutoLock lock(m_cs);
        serial = m_ullSerial;
        bCopied = m_flushed.CopyFrom(m_written);
    }
    if (!bCopied)
        return DLE_NO_RESOURCES;
    // Only ranges written before this flush are claimed by the record that follows it.
    LONG r = m_data.Flush();
    if (r == DLE_OK)
        r = SaveRecord(&m_flushed);
    if (r == DLE_OK)
        m_ullSavedSerial = serial;
    return r;
}

// The missing bytes as parts; how many connections to start, and where a single stream starts.
int CDownloadTask::PlanParts(ULONGLONG* pullStart)
{
    DLVolumeFacts volume;
    BOOL bSparse = !GetVolumeFacts(m_szWork, &volume) || volume.bSparse;
    CAutoLock lock(m_cs);
    *pullStart = m_written.FirstGap();
    CRangeSet missing;
    BOOL bOk;
    if (m_bRanges && m_bSizeKnown) {
        bOk = m_written.Complement(m_ullTotal, &missing);
        UINT nWanted = PartsToPlan(missing.Bytes(), MAX_CONNECTIONS, bSparse, MIN_PART);
        bOk = bOk && m_parts.Plan(missing, nWanted, MIN_PART);
    } else {
        *pullStart = 0;
        bOk = missing.Add(0, m_bSizeKnown ? m_ullTotal : kUnknownEnd) && m_parts.Plan(missing, 1, kUnknownEnd);
    }
    if (!bOk)
        return -1;
    int nWorkers = m_parts.Count() < (UINT)MAX_CONNECTIONS ? (int)m_parts.Count() : MAX_CONNECTIONS;
    // Mirrors known to limit connections get no more than they accept.
    int nCapacity = m_mirrors.Capacity();
    if (nCapacity > 0 && nWorkers > nCapacity)
        nWorkers = nCapacity;
    return nWorkers;
}

BOOL CDownloadTask::StartWorkers(int nWorkers, CConnection* pProbe, const CHttpHead& head, ULONGLONG ullStart,
                                 int nProbeMirror)
{
    {
        CAutoLock lock(m_cs);
        for (int i = 0; i < MAX_CONNECTIONS; ++i) {
            if (m_anWorkerMirror[i] >= 0)
                m_mirrors.Detach(m_anWorkerMirror[i]);
            m_anWorkerMirror[i] = -1;
        }
        // The first connection continues the probe's body, so it holds the part that starts there.
        m_parts.Acquire(0);
        m_anWorkerMirror[0] = nProbeMirror;
        m_mirrors.Attach(nProbeMirror);
        m_nLive = nWorkers;
        m_nRetired = 0;
        m_dwReviveAt = ::GetTickCount();
    }
    int nStarted = 0;
    for (int i = 0; i < nWorkers; ++i) {
        m_workers[i] = new (std::nothrow) CWorker(this, i, i == 0 ? pProbe : NULL, ullStart, i == 0 ? &head : NULL);
        if (m_workers[i] == NULL || !m_workers[i]->Start()) {
            if (m_workers[i] == NULL && i == 0)
                delete pProbe;
            delete m_workers[i];
            m_workers[i] = NULL;
            CAutoLock lock(m_cs);
            m_nLive -= nWorkers - i;
            if (i == 0) {
                m_lError = DLE_NO_RESOURCES;
                SetReason(REASON_FAIL);
            }
            m_parts.Release(i);
            break;
        }
        ++nStarted;
    }
    return nStarted != 0;
}

void CDownloadTask::JoinWorkers()
{
    for (int i = 0; i < MAX_CONNECTIONS; ++i) {
        if (m_workers[i] != NULL) {
            // Connection threads block only in waits that watch the stop event, and in file writes.
            ::WaitForSingleObject(m_workers[i]->Thread(), INFINITE);
            delete m_workers[i];
            m_workers[i] = NULL;
        }
    }
    CAutoLock lock(m_cs);
    for (int i = 0; i < MAX_CONNECTIONS; ++i) {
        if (m_anWorkerMirror[i] >= 0)
            m_mirrors.Detach(m_anWorkerMirror[i]);
        m_anWorkerMirror[i] = -1;
    }
}

LONG CDownloadTask::WorkersResult()
{
    CAutoLock lock(m_cs);
    switch (m_reason) {
    case REASON_FAIL:
        return m_lError;
    case REASON_STOP:
    case REASON_PAUSE:
        return DLX_ABORTED;
    case REASON_RESTART:
        return DLX_RESTART;
    default:
        break;
    }
    BOOL bDone = m_bSizeKnown ? m_written.Covers(m_ullTotal) : m_bStreamEnded;
    if (bDone && m_ullBuffered == 0)
        return DLE_OK;
    return m_lLastFault != DLE_OK ? m_lLastFault : DLE_NETWORK;
}

LONG CDownloadTask::RunWorkers(CConnection* pProbe, const CHttpHead& head, int nProbeMirror)
{
    ULONGLONG ullStart = 0;
    int nWorkers = PlanParts(&ullStart);
    if (nWorkers <= 0) {
        delete pProbe;
        return nWorkers < 0 ? DLE_NO_RESOURCES : DLE_OK;
    }
    if (StartWorkers(nWorkers, pProbe, head, ullStart, nProbeMirror))
        Supervise();
    JoinWorkers();
    return WorkersResult();
}

void CDownloadTask::Supervise()
{
    DWORD dwLastCheckpoint = ::GetTickCount();
    DWORD dwLastSample = dwLastCheckpoint;
    for (;;) {
        DWORD since = TicksSince(dwLastCheckpoint);
        DWORD wait = since >= CHECKPOINT_MS ? 0 : CHECKPOINT_MS - since;
        if (wait > 250)
            wait = 250;  // the patience and the retrying status are looked at four times a second
        HANDLE waits[2] = { m_hAbort, m_hWorkerExit };
        DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, wait);
        if (w == WAIT_OBJECT_0)
            return;
        if (TicksSince(dwLastCheckpoint) >= CHECKPOINT_MS) {
            dwLastCheckpoint = ::GetTickCount();
            ULONGLONG serial;
            {
                CAutoLock lock(m_cs);
                serial = m_ullSerial;
            }
            LONG r = serial != m_ullSavedSerial ? Checkpoint() : DLE_OK;
            if (r != DLE_OK) {
                Fail(r);
                return;
            }
        }
        DWORD dwElapsed = TicksSince(dwLastSample);
        if (dwElapsed >= 1000) {
            dwLastSample = ::GetTickCount();
            CAutoLock lock(m_cs);
            m_mirrors.Sample(dwElapsed, dwLastSample);
        }
        if (!KeepPatience())
            return;
        ULONGLONG serial;
        {
            CAutoLock lock(m_cs);
            serial = m_ullSerial;
        }
        MaybeRespawn(serial);
    }
}

// Decides whether the workers go on: FALSE when they are all gone and nothing is left to do,
// or when the task failed for want of mirrors or of patience. With no connection left but
// work to do, one is brought back after a jittered, growing wait; meanwhile the status says
// the task is retrying.
BOOL CDownloadTask::KeepPatience()
{
    LONG lFail = DLE_OK;
    BOOL bRevive = FALSE;
    {
        CAutoLock lock(m_cs);
        if (m_mirrors.Alive() == 0) {
            lFail = m_mirrors.LastDropReason();
        } else {
            DWORD stalled = TicksSince(m_dwLastProgress);
            BOOL bFaultSinceProgress = m_lLastFault != DLE_OK && (LONG)(m_dwLastFault - m_dwLastProgress) >= 0;
            if (m_nLive <= 0 && (m_parts.AllDone() || !m_bRanges))
                return FALSE;
            if (stalled >= m_dwPatienceMs && (m_nLive <= 0 || bFaultSinceProgress)) {
                lFail = m_lLastFault != DLE_OK ? m_lLastFault : DLE_NETWORK;
            } else {
                if (bFaultSinceProgress && stalled >= 1000 && m_lStatus == DL_STATUS_DOWNLOADING)
                    m_lStatus = DL_STATUS_RETRYING;
                if (m_nLive <= 0) {
                    m_lStatus = DL_STATUS_RETRYING;
                    if ((LONG)(::GetTickCount() - m_dwReviveAt) >= 0) {
                        ++m_nRevivals;
                        m_dwReviveAt = ::GetTickCount() + JitteredBackoffMs(m_nRevivals, 0);
                        bRevive = TRUE;
                    }
                }
            }
        }
    }
    if (lFail != DLE_OK) {
        Fail(lFail);
        return FALSE;
    }
    if (bRevive)
        SpawnWorker();
    return TRUE;
}

// A new connection thread in a free slot; FALSE when none is free or it could not start.
BOOL CDownloadTask::SpawnWorker()
{
    int iSlot = -1;
    for (int i = 0; i < MAX_CONNECTIONS && iSlot < 0; ++i) {
        if (m_workers[i] == NULL) {
            iSlot = i;
        } else if (::WaitForSingleObject(m_workers[i]->Thread(), 0) == WAIT_OBJECT_0) {
            delete m_workers[i];
            m_workers[i] = NULL;
            iSlot = i;
        }
    }
    if (iSlot < 0)
        return FALSE;
    {
        CAutoLock lock(m_cs);
        ++m_nLive;
        if (m_nRetired > 0)
            --m_nRetired;
        m_dwLastRetire = ::GetTickCount();
    }
    m_workers[iSlot] = new (std::nothrow) CWorker(this, iSlot, NULL, 0, NULL);
    if (m_workers[iSlot] == NULL || !m_workers[iSlot]->Start()) {
        delete m_workers[iSlot];
        m_workers[iSlot] = NULL;
        CAutoLock lock(m_cs);
        --m_nLive;
        return FALSE;
    }
    return TRUE;
}

// A connection that retired after repeated faults gets its place back once the others are
// making progress again (one a second), so a passing fault does not leave the task short of
// connections; never more than the mirrors are known to accept.
void CDownloadTask::MaybeRespawn(ULONGLONG ullSerial)
{
    BOOL bProgress = ullSerial != m_ullRespawnSerial;
    m_ullRespawnSerial = ullSerial;
    {
        CAutoLock lock(m_cs);
        int nCapacity = m_mirrors.Capacity();
        if (m_nRetired == 0 || !bProgress || TicksSince(m_dwLastRetire) < 1000 || !m_parts.HasWorkForNewcomer() ||
            (nCapacity > 0 && m_nLive >= nCapacity) || m_nLive <= 0)
            return;
    }
    SpawnWorker();
}

// Brings the data file to its final size on disk and closes it.
LONG CDownloadTask::CloseData()
{
    ULONGLONG ullEnd;
    BOOL bSizeKnown;
    {
        CAutoLock lock(m_cs);
        bSizeKnown = m_bSizeKnown;
        ullEnd = bSizeKnown ? m_ullTotal : m_ullStreamEnd;
    }
    LONG r = DLE_OK;
    if (!m_data.IsOpen())
        r = m_data.Open(m_szWork);
    if (r == DLE_OK && !bSizeKnown)
        r = m_data.SetSize(ullEnd);
    if (r == DLE_OK)
        r = m_data.Flush();
    if (r != DLE_OK)
        return r;
    m_data.Close();
    CAutoLock lock(m_cs);
    m_ullTotal = ullEnd;
    m_bSizeKnown = TRUE;
    return DLE_OK;
}

// The file appears at P only complete (and verified); the record goes only after it is there.
LONG CDownloadTask::Publish()
{
    if (!::MoveFileExW(m_szWork, m_szPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return MapFileError(::GetLastError(), DLE_WRITE);
    ::DeleteFileW(m_szRecord);
    ::DeleteFileW(m_szTemp);
    return DLE_OK;
}

void CDownloadTask::Conclude(LONG lResult)
{
    if (lResult == DLE_OK)
        lResult = CloseData();
    if (lResult == DLE_OK && m_bHaveSha)
        lResult = VerifyData();
    if (lResult == DLE_OK)
        lResult = Publish();
    if (lResult != DLE_OK && m_data.IsOpen()) {
        Checkpoint();  // a failure here leaves the previous record, which is still true
        m_data.Close();
    }
    CAutoLock lock(m_cs);
    for (int i = 0; i < MAX_CONNECTIONS; ++i)
        m_anWorkerMirror[i] = -1;
    if (lResult == DLE_OK) {
        m_lStatus = DL_STATUS_FINISHED;
    } else if (m_reason == REASON_STOP) {
        m_lStatus = DL_STATUS_STOPPED;
    } else if (m_reason == REASON_PAUSE) {
        m_lStatus = DL_STATUS_PAUSED;
    } else {
        if (lResult == DLX_ABORTED || lResult == DLX_RESTART || lResult == DLX_AGAIN)
            lResult = m_lError != DLE_OK ? m_lError : DLE_NETWORK;
        m_lError = lResult;
        m_lStatus = DL_STATUS_FAILED + lResult;
    }
    m_bRunning = FALSE;
}

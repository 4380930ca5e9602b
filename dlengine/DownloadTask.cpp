#include "DownloadTask.h"
#include "ProxyConfig.h"
#include "WinHttpTransport.h"
#include "Worker.h"
#include <new>
#include <string.h>
#include <wchar.h>

using namespace dl;

static const ULONGLONG kUnknownEnd = ~(ULONGLONG)0;

CDownloadTask::CDownloadTask()
    : m_lRefs(1), m_lId(0), m_lStatus(DL_STATUS_CONNECTING), m_lError(DLE_OK), m_lLastFault(DLE_OK),
      m_reason(REASON_NONE), m_lAborting(0), m_hThread(NULL), m_bRunning(FALSE), m_bHaveState(FALSE),
      m_bDataOnDisk(FALSE), m_bResetData(FALSE), m_ullTotal(0), m_bSizeKnown(FALSE), m_bRanges(FALSE),
      m_ullBuffered(0), m_ullSerial(0), m_bStreamEnded(FALSE), m_ullStreamEnd(0), m_nLive(0),
      m_nRetired(0), m_dwLastRetire(0), m_ullSavedSerial(0), m_ullRespawnSerial(0), m_bProxyChecked(FALSE), m_bUseProxy(FALSE), m_hSession(NULL)
{
    m_szPath[0] = m_szWork[0] = m_szRecord[0] = m_szTemp[0] = m_szUrl[0] = m_szReferrer[0] = L'\0';
    m_szReferrerA[0] = m_szETag[0] = m_szLastModified[0] = '\0';
    m_szProxy[0] = m_szBypass[0] = L'\0';
    ZeroMemory(m_workers, sizeof(m_workers));
    m_hAbort = ::CreateEventW(NULL, TRUE, FALSE, NULL);
    m_hWorkerExit = ::CreateEventW(NULL, FALSE, FALSE, NULL);
}

CDownloadTask::~CDownloadTask()
{
    if (m_hThread != NULL) {
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

void CDownloadTask::AddRef()
{
    ::InterlockedIncrement(&m_lRefs);
}

void CDownloadTask::Release()
{
    if (::InterlockedDecrement(&m_lRefs) == 0)
        delete this;
}

BOOL CDownloadTask::InitCommon(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer)
{
    if (m_hAbort == NULL || m_hWorkerExit == NULL)
        return FALSE;
    lstrcpynW(m_szPath, pszPath, DL_MAX_PATH + 1);
    _snwprintf(m_szWork, DL_MAX_PATH + 8, L"%ls.dl", m_szPath);
    _snwprintf(m_szRecord, DL_MAX_PATH + 8, L"%ls.dl.cfg", m_szPath);
    _snwprintf(m_szTemp, DL_MAX_PATH + 8, L"%ls.dl.new", m_szPath);
    m_szWork[DL_MAX_PATH + 7] = m_szRecord[DL_MAX_PATH + 7] = m_szTemp[DL_MAX_PATH + 7] = L'\0';
    lstrcpynW(m_szUrl, pszUrl, DL_MAX_URL + 1);
    lstrcpynW(m_szReferrer, pszReferrer != NULL ? pszReferrer : L"", DL_MAX_URL + 1);
    if (m_szReferrer[0] != L'\0' &&
        ::WideCharToMultiByte(CP_UTF8, 0, m_szReferrer, -1, m_szReferrerA, sizeof(m_szReferrerA), NULL, NULL) <= 0)
        m_szReferrerA[0] = '\0';
    return m_urlEffective.Parse(m_szUrl) == DLE_OK;
}

CDownloadTask* CDownloadTask::CreateNew(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer)
{
    CDownloadTask* p = new (std::nothrow) CDownloadTask();
    if (p != NULL && !p->InitCommon(pszPath, pszUrl, pszReferrer)) {
        p->Release();
        p = NULL;
    }
    return p;
}

CDownloadTask* CDownloadTask::CreateFromRecord(LPCWSTR pszPath, const CWorkRecord& record)
{
    CDownloadTask* p = new (std::nothrow) CDownloadTask();
    if (p == NULL)
        return NULL;
    if (!p->InitCommon(pszPath, record.szUrl, record.szReferrer) || !p->m_written.CopyFrom(record.ranges)) {
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
    m_hThread = ::CreateThread(NULL, 256 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (m_hThread == NULL) {
        m_bRunning = FALSE;
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
        return DLE_BAD_STATE;   // the pause ended in a failure or completion instead
    m_reason = REASON_NONE;
    m_lAborting = 0;
    ::ResetEvent(m_hAbort);
    m_lStatus = DL_STATUS_CONNECTING;
    return StartThread();
}

void CDownloadTask::Stop()
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
    ::WaitForSingleObject(m_hThread, INFINITE);
}

void CDownloadTask::Query(LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived)
{
    CAutoLock lock(m_cs);
    *plStatus = m_lStatus;
    *pullTotal = m_bSizeKnown ? m_ullTotal : 0;
    *pullReceived = m_written.Bytes() + m_ullBuffered;
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

void CDownloadTask::NoteFault(LONG lError)
{
    CAutoLock lock(m_cs);
    m_lLastFault = lError;
}

BOOL CDownloadTask::IsRanged()
{
    CAutoLock lock(m_cs);
    return m_bRanges && m_bSizeKnown;
}

void CDownloadTask::GetEffectiveUrl(CUrl* pUrl)
{
    CAutoLock lock(m_cs);
    *pUrl = m_urlEffective;
}

int CDownloadTask::AcquirePart(int nWorker, ULONGLONG* pullPos, ULONGLONG* pullEnd)
{
    CAutoLock lock(m_cs);
    int i = m_parts.Acquire(nWorker);
    if (i < 0) {
        --m_nLive;
        return -1;
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
    if (m_lStatus == DL_STATUS_CONNECTING)
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

BOOL CDownloadTask::ValidatorsMatch(const CHttpHead& head) const
{
    if (m_szETag[0] != '\0' && head.szETag[0] != '\0')
        return strcmp(m_szETag, head.szETag) == 0;
    if (m_szLastModified[0] != '\0' && head.szLastModified[0] != '\0')
        return strcmp(m_szLastModified, head.szLastModified) == 0;
    return TRUE;
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

LONG CDownloadTask::CheckPartHead(const CHttpHead& head, ULONGLONG ullPos)
{
    CAutoLock lock(m_cs);
    if (head.nStatus == 206) {
        if (!head.bHasRange || head.ullRangeFirst != ullPos)
            return DLE_PROTOCOL;
        if ((head.llRangeTotal >= 0 && (ULONGLONG)head.llRangeTotal != m_ullTotal) || !ValidatorsMatch(head)) {
            SetReason(REASON_RESTART);
            return DLX_RESTART;
        }
        return DLE_OK;
    }
    if (head.nStatus == 200 || head.nStatus == 416) {
        // Ranges no longer honoured, or the file shrank: start over from byte 0.
        SetReason(REASON_RESTART);
        return DLX_RESTART;
    }
    return ErrorForStatus(head.nStatus);
}

BOOL CDownloadTask::Retire(int nWorker)
{
    CAutoLock lock(m_cs);
    if (m_nLive <= 1)
        return FALSE;
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
    ((CDownloadTask*)pv)->Run();
    return 0;
}

void CDownloadTask::Run()
{
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
        LONG r = Probe(&pConn, &head);
        if (r != DLE_OK)
            return r;
        r = Prepare();
        if (r != DLE_OK) {
            delete pConn;
            return r;
        }
        r = RunWorkers(pConn, head);
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

LONG CDownloadTask::Probe(CConnection** ppConn, CHttpHead* pHead)
{
    int nFailures = 0;
    for (int nRounds = 0; nRounds < 2 * MAX_FAILURES + MAX_REDIRECTS; ++nRounds) {
        if (Aborting())
            return DLX_ABORTED;
        ULONGLONG ullStart;
        {
            CAutoLock lock(m_cs);
            ullStart = m_written.FirstGap();
        }
        // Every probe starts from the address the caller gave, never a cached redirect target.
        CUrl url;
        LONG r = url.Parse(m_szUrl);
        if (r != DLE_OK)
            return r;
        CConnection* pConn = new (std::nothrow) CConnection(this);
        if (pConn == NULL)
            return DLE_NO_RESOURCES;
        DLRequest req;
        req.pUrl = &url;
        req.bRange = TRUE;
        req.ullFirst = ullStart;
        req.ullLast = 0;
        req.bOpenEnded = TRUE;
        req.pszReferrer = m_szReferrerA;
        pHead->Reset();
        r = pConn->Open(&url, req, pHead);
        if (r == DLE_OK)
            r = AcceptProbe(*pHead, ullStart, url);
        if (r == DLE_OK) {
            *ppConn = pConn;
            return DLE_OK;
        }
        delete pConn;
        if (r == DLX_AGAIN)
            continue;
        if (r == DLX_ABORTED || !IsRetryable(r))
            return r;
        m_lLastFault = r;
        if (++nFailures >= MAX_FAILURES)
            return r;
        if (!SleepUnlessStopped(m_hAbort, BackoffMs(nFailures, pHead->dwRetryAfterSec)))
            return DLX_ABORTED;
    }
    return m_lLastFault != DLE_OK ? m_lLastFault : DLE_PROTOCOL;
}

LONG CDownloadTask::AcceptProbe(const CHttpHead& head, ULONGLONG ullStart, const CUrl& url)
{
    CAutoLock lock(m_cs);
    if (head.nStatus == 206) {
        if (!head.bHasRange || head.llRangeTotal < 0 || head.ullRangeFirst != ullStart)
            return DLE_PROTOCOL;
        ULONGLONG total = (ULONGLONG)head.llRangeTotal;
        if (m_bHaveState && ((m_bSizeKnown && total != m_ullTotal) || !ValidatorsMatch(head))) {
            // Another version of the file: its bytes must not be mixed with the old ones.
            ForgetProgress();
            if (ullStart != 0)
                return DLX_AGAIN;
        }
        m_ullTotal = total;
        m_bSizeKnown = TRUE;
        m_bRanges = TRUE;
    } else if (head.nStatus == 200) {
        if (m_bHaveState || m_written.Count() != 0)
            ForgetProgress();   // the whole file comes again from byte 0
        m_bSizeKnown = !head.bChunked && head.llContentLength >= 0;
        m_ullTotal = m_bSizeKnown ? (ULONGLONG)head.llContentLength : 0;
        m_bRanges = FALSE;
    } else if (head.nStatus == 416) {
        if (ullStart != 0 || head.llRangeTotal > 0) {
            ForgetProgress();   // the file shrank below what was on disk
            return ullStart != 0 ? DLX_AGAIN : DLE_PROTOCOL;
        }
        // "bytes=0-" of an empty file.
        m_ullTotal = 0;
        m_bSizeKnown = TRUE;
        m_bRanges = TRUE;
    } else {
        return ErrorForStatus(head.nStatus);
    }
    lstrcpynA(m_szETag, head.szETag, sizeof(m_szETag));
    lstrcpynA(m_szLastModified, head.szLastModified, sizeof(m_szLastModified));
    m_urlEffective = url;
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
    if (bSizeKnown && ullTotal > ullHave) {
        // The rest of the file must fit on the volume: better to fail now than near the end.
        ULONGLONG ullFree = 0;
        if (CDataFile::FreeSpaceFor(m_szWork, &ullFree) && ullFree < ullTotal - ullHave)
            return DLE_DISK_FULL;
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

LONG CDownloadTask::SaveRecord()
{
    {
        CAutoLock lock(m_cs);
        m_record.ullTotal = m_ullTotal;
        m_record.dwFlags = (m_bSizeKnown ? CWorkRecord::FLAG_SIZE_KNOWN : 0) | (m_bRanges ? CWorkRecord::FLAG_RANGES : 0);
        lstrcpynW(m_record.szUrl, m_szUrl, DL_MAX_URL + 1);
        lstrcpynW(m_record.szReferrer, m_szReferrer, DL_MAX_URL + 1);
        lstrcpynA(m_record.szETag, m_szETag, sizeof(m_record.szETag));
        lstrcpynA(m_record.szLastModified, m_szLastModified, sizeof(m_record.szLastModified));
        if (m_bResetData || !m_record.ranges.CopyFrom(m_written))
            m_record.ranges.Clear();
    }
    return m_record.Save(m_szRecord, m_szTemp);
}

LONG CDownloadTask::Checkpoint()
{
    ULONGLONG serial;
    {
        CAutoLock lock(m_cs);
        serial = m_ullSerial;
    }
    // Only ranges written before this flush are claimed by the record that follows it.
    LONG r = m_data.Flush();
    if (r == DLE_OK)
        r = SaveRecord();
    if (r == DLE_OK)
        m_ullSavedSerial = serial;
    return r;
}

LONG CDownloadTask::RunWorkers(CConnection* pProbe, const CHttpHead& head)
{
    int nWorkers;
    ULONGLONG ullStart;
    {
        CAutoLock lock(m_cs);
        ullStart = m_written.FirstGap();
        CRangeSet missing;
        BOOL bOk;
        if (m_bRanges && m_bSizeKnown) {
            bOk = m_written.Complement(m_ullTotal, &missing);
            ULONGLONG parts = missing.Bytes() / MIN_PART;
            UINT nWanted = parts < 1 ? 1 : parts > (ULONGLONG)MAX_CONNECTIONS ? MAX_CONNECTIONS : (UINT)parts;
            bOk = bOk && m_parts.Plan(missing, nWanted, MIN_PART);
        } else {
            ullStart = 0;
            bOk = missing.Add(0, m_bSizeKnown ? m_ullTotal : kUnknownEnd) && m_parts.Plan(missing, 1, kUnknownEnd);
        }
        if (!bOk) {
            delete pProbe;
            return DLE_NO_RESOURCES;
        }
        nWorkers = m_parts.Count() < (UINT)MAX_CONNECTIONS ? (int)m_parts.Count() : MAX_CONNECTIONS;
        // The first connection continues the probe's body, so it holds the part that starts there.
        if (nWorkers > 0)
            m_parts.Acquire(0);
        m_nLive = nWorkers;
        m_nRetired = 0;
    }
    if (nWorkers == 0) {
        delete pProbe;
        return DLE_OK;
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
    if (nStarted != 0)
        Supervise();
    for (int i = 0; i < MAX_CONNECTIONS; ++i) {
        if (m_workers[i] != NULL) {
            // Connection threads block only in waits that watch the stop event, and in file writes.
            ::WaitForSingleObject(m_workers[i]->Thread(), INFINITE);
            delete m_workers[i];
            m_workers[i] = NULL;
        }
    }

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

void CDownloadTask::Supervise()
{
    DWORD dwLastCheckpoint = ::GetTickCount();
    for (;;) {
        DWORD since = TicksSince(dwLastCheckpoint);
        DWORD wait = since >= CHECKPOINT_MS ? 0 : CHECKPOINT_MS - since;
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
        ULONGLONG serial;
        {
            CAutoLock lock(m_cs);
            if (m_nLive <= 0)
                return;
            serial = m_ullSerial;
        }
        MaybeRespawn(serial);
    }
}

// A connection that retired after repeated faults gets its place back once the others are
// making progress again, so a passing fault does not leave the task short of connections.
void CDownloadTask::MaybeRespawn(ULONGLONG ullSerial)
{
    BOOL bProgress = ullSerial != m_ullRespawnSerial;
    m_ullRespawnSerial = ullSerial;
    int iSlot = -1;
    {
        CAutoLock lock(m_cs);
        if (m_nRetired == 0 || !bProgress || TicksSince(m_dwLastRetire) < RESPAWN_MS || !m_parts.HasWorkForNewcomer())
            return;
    }
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
        return;
    {
        CAutoLock lock(m_cs);
        ++m_nLive;
        --m_nRetired;
        m_dwLastRetire = ::GetTickCount();
    }
    m_workers[iSlot] = new (std::nothrow) CWorker(this, iSlot, NULL, 0, NULL);
    if (m_workers[iSlot] == NULL || !m_workers[iSlot]->Start()) {
        delete m_workers[iSlot];
        m_workers[iSlot] = NULL;
        CAutoLock lock(m_cs);
        --m_nLive;
    }
}

LONG CDownloadTask::Complete()
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
    // The file appears at P only complete; the record goes only after it is there.
    if (!::MoveFileExW(m_szWork, m_szPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return MapFileError(::GetLastError(), DLE_WRITE);
    ::DeleteFileW(m_szRecord);
    ::DeleteFileW(m_szTemp);
    CAutoLock lock(m_cs);
    m_ullTotal = ullEnd;
    m_bSizeKnown = TRUE;
    return DLE_OK;
}

void CDownloadTask::Conclude(LONG lResult)
{
    if (lResult == DLE_OK)
        lResult = Complete();
    if (lResult != DLE_OK && m_data.IsOpen()) {
        Checkpoint();   // a failure here leaves the previous record, which is still true
        m_data.Close();
    }
    CAutoLock lock(m_cs);
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

#include "Worker.h"
#include "DownloadTask.h"
#include <new>

using namespace dl;

static const ULONGLONG kUnknownEnd = ~(ULONGLONG)0;

CWorker::CWorker(CDownloadTask* pTask, int nIndex, CConnection* pProbe, ULONGLONG ullProbePos,
                 const CHttpHead* pProbeHead)
    : m_pTask(pTask), m_nIndex(nIndex), m_hThread(NULL), m_pConn(pProbe), m_bProbeBody(pProbe != NULL),
      m_ullProbePos(ullProbePos), m_ullProbeBodyEnd(kUnknownEnd), m_pBuf(NULL), m_cbBuf(0), m_ullBufOffset(0),
      m_dwBufTick(0), m_dwRetryAfterSec(0)
{
    if (pProbeHead != NULL) {
        if (pProbeHead->bHasRange)
            m_ullProbeBodyEnd = pProbeHead->ullRangeLast + 1;
        else if (!pProbeHead->bChunked && pProbeHead->llContentLength >= 0)
            m_ullProbeBodyEnd = (ULONGLONG)pProbeHead->llContentLength;
    }
}

CWorker::~CWorker()
{
    if (m_hThread != NULL)
        ::CloseHandle(m_hThread);
    delete m_pConn;
    free(m_pBuf);
}

BOOL CWorker::Start()
{
    m_hThread = ::CreateThread(NULL, 256 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    return m_hThread != NULL;
}

DWORD WINAPI CWorker::ThreadProc(LPVOID pv)
{
    ((CWorker*)pv)->Run();
    return 0;
}

void CWorker::Run()
{
    BOOL bCounted = TRUE;
    m_pBuf = (BYTE*)malloc(BUFFER_SIZE);
    if (m_pConn == NULL)
        m_pConn = new (std::nothrow) CConnection(m_pTask);
    if (m_pBuf == NULL || m_pConn == NULL)
        m_pTask->Fail(DLE_NO_RESOURCES);

    int nFailures = 0;
    while (!m_pTask->Aborting()) {
        ULONGLONG ullPos = 0, ullEnd = 0;
        int iPart = m_pTask->AcquirePart(m_nIndex, &ullPos, &ullEnd);
        if (iPart < 0) {
            bCounted = FALSE;
            break;
        }
        BOOL bProgress = FALSE;
        LONG r = FetchPart(iPart, ullPos, ullEnd, &bProgress);
        if (bProgress)
            nFailures = 0;
        if (r == DLE_OK || r == DLX_AGAIN)
            continue;
        if (r == DLX_ABORTED || r == DLX_RESTART)
            break;
        // A refused part request is this connection's fault while others go on; whether the
        // file is there at all was the first request's to say.
        if (!IsRetryable(r) && r != DLE_HTTP_NOT_FOUND && r != DLE_HTTP_REFUSED) {
            m_pTask->Fail(r);
            break;
        }
        m_pTask->NoteFault(m_nIndex, r);
        ++nFailures;
        if (nFailures >= RETIRE_AFTER && m_pTask->Retire(m_nIndex)) {
            bCounted = FALSE;
            break;
        }
        if (nFailures >= MAX_FAILURES) {
            m_pTask->Fail(r);
            break;
        }
        if (!SleepUnlessStopped(m_pTask->StopEvent(), BackoffMs(nFailures, m_dwRetryAfterSec)))
            break;
    }
    // What is buffered is valid data of this file: keep it, whatever ended the loop.
    LONG r = FlushBuffer();
    if (r != DLE_OK)
        m_pTask->Fail(r);
    if (m_pConn != NULL)
        m_pConn->Close();
    m_pTask->OnWorkerExit(bCounted);
}

LONG CWorker::FlushBuffer()
{
    if (m_cbBuf == 0)
        return DLE_OK;
    DWORD cb = m_cbBuf;
    m_cbBuf = 0;
    LONG r = m_pTask->Data().Write(m_ullBufOffset, m_pBuf, cb);
    if (r != DLE_OK) {
        m_pTask->OnLost(cb);
        return r;
    }
    m_pTask->OnWritten(m_ullBufOffset, cb);
    m_ullBufOffset += cb;
    return DLE_OK;
}

ULONGLONG CWorker::TaskBytes()
{
    LONG lStatus = 0;
    ULONGLONG ullTotal = 0, ullReceived = 0;
    m_pTask->Query(&lStatus, &ullTotal, &ullReceived);
    return ullReceived;
}

// Only a ranged download can move a part to a new connection without starting over.
BOOL CWorker::IsSlow()
{
    DWORD dwNow = ::GetTickCount();
    return m_watch.WindowDue(dwNow) && m_pTask->IsRanged() &&
           m_watch.IsSlow(dwNow, TaskBytes(), m_pTask->LiveConnections());
}

LONG CWorker::FetchPart(int iPart, ULONGLONG ullPos, ULONGLONG ullEnd, BOOL* pbProgress)
{
    m_dwRetryAfterSec = 0;
    if (m_bProbeBody) {
        m_bProbeBody = FALSE;
        if (ullPos == m_ullProbePos)
            return Stream(iPart, ullPos, ullEnd, m_ullProbeBodyEnd, pbProgress);
        m_pConn->Close();
    }
    if (!m_pTask->IsRanged()) {
        // A single stream cannot continue where it broke off: the task starts it again.
        m_pTask->RequestRestart();
        return DLX_RESTART;
    }
    // Each part asks the connection's mirror; a redirect target that refuses sends the
    // connection back once to the address that mirror was given.
    CUrl given;
    m_pTask->GetEffectiveUrl(m_nIndex, &m_url, &given);
    DLRequest req;
    req.pUrl = &m_url;
    req.bRange = TRUE;
    req.ullFirst = ullPos;
    req.ullLast = ullEnd - 1;
    req.bOpenEnded = FALSE;
    req.pszReferrer = m_pTask->Referrer();
    LONG r = m_pConn->Open(&m_url, req, &m_head, &given);
    if (r != DLE_OK)
        return r;
    m_dwRetryAfterSec = m_head.dwRetryAfterSec;
    r = m_pTask->CheckPartHead(m_nIndex, m_head, ullPos, m_url);
    if (r != DLE_OK) {
        m_pConn->Close();
        return r;
    }
    return Stream(iPart, ullPos, ullEnd, m_head.ullRangeLast + 1, pbProgress);
}

LONG CWorker::Stream(int iPart, ULONGLONG ullPos, ULONGLONG ullEnd, ULONGLONG ullBodyEnd, BOOL* pbProgress)
{
    LONG r;
    if (m_cbBuf != 0 && m_ullBufOffset + m_cbBuf != ullPos && (r = FlushBuffer()) != DLE_OK)
        return r;
    if (m_cbBuf == 0)
        m_ullBufOffset = ullPos;
    m_watch.Restart(::GetTickCount(), TaskBytes());

    while (ullPos < ullEnd) {
        if (m_pTask->Aborting())
            return DLX_ABORTED;
        if (IsSlow()) {
            // Recycled: the rest of the part goes out again on a new connection.
            m_pConn->Close();
            return (r = FlushBuffer()) != DLE_OK ? r : DLE_NETWORK;
        }
        // A full buffer is written at once; a slow stream's bytes still reach the file (and so
        // the next record) within a checkpoint, so a crash costs no more than that.
        if ((m_cbBuf == BUFFER_SIZE || (m_cbBuf != 0 && TicksSince(m_dwBufTick) >= BUFFER_MAX_AGE_MS)) &&
            (r = FlushBuffer()) != DLE_OK)
            return r;
        // Never past what both the request (the part) and the response (its range) vouch for.
        ULONGLONG ullLimit = ullEnd < ullBodyEnd ? ullEnd : ullBodyEnd;
        DWORD want = BUFFER_SIZE - m_cbBuf;
        if (ullLimit - ullPos < want)
            want = ullLimit > ullPos ? (DWORD)(ullLimit - ullPos) : 0;
        DWORD n = 0;
        r = m_pConn->Read(m_pBuf + m_cbBuf, want, &n);
        if (r != DLE_OK) {
            m_pConn->Close();
            return r;
        }
        if (n == 0) {
            if (ullEnd == kUnknownEnd) {
                m_pTask->EndStream(iPart, ullPos);
                break;
            }
            m_pConn->Finish();
            // A server may answer with less than the range asked for: ask for the rest.
            return (ullPos == ullBodyEnd) ? DLX_AGAIN : DLE_NETWORK;
        }
        DWORD take = m_pTask->Advance(iPart, n, &ullEnd);
        if (m_cbBuf == 0)
            m_dwBufTick = ::GetTickCount();
        m_cbBuf += take;
        ullPos += take;
        m_watch.Add(take);
        *pbProgress = TRUE;
        if (take < n)
            break;  // another connection took the tail meanwhile
    }
    if ((r = FlushBuffer()) != DLE_OK)
        return r;
    // Bytes past the part's end (a tail taken by another connection) are skipped when few,
    // else the connection is closed.
    m_pConn->Finish();
    return DLE_OK;
}

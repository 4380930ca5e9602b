// CWorker: one connection thread of a task. Takes a part from the task, requests that byte
// range (keeping the connection alive between parts), receives straight into a large buffer
// and writes it at the part's offset, retries faults with back-off, and leaves when the task
// has no more work for it or is stopping.
#pragma once
#include "Connection.h"
#include "HttpHead.h"
#include "SpeedWatch.h"

class CDownloadTask;

class CWorker
{
public:
    // pProbe (owned from here on, may be null) carries a response whose body starts at
    // ullProbePos: the first connection continues the controller's first request.
    CWorker(CDownloadTask* pTask, int nIndex, CConnection* pProbe, ULONGLONG ullProbePos, const CHttpHead* pProbeHead);
    ~CWorker();

    BOOL Start();
    HANDLE Thread() const { return m_hThread; }

private:
    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    LONG FetchPart(int iPart, ULONGLONG ullPos, ULONGLONG ullEnd, BOOL* pbProgress);
    LONG Stream(int iPart, ULONGLONG ullPos, ULONGLONG ullEnd, ULONGLONG ullBodyEnd, BOOL* pbProgress);
    LONG FlushBuffer();
    ULONGLONG TaskBytes();
    BOOL IsSlow();

    CDownloadTask* m_pTask;  // not owned
    int m_nIndex;
    HANDLE m_hThread;      // owned
    CConnection* m_pConn;  // owned
    BOOL m_bProbeBody;
    ULONGLONG m_ullProbePos;
    ULONGLONG m_ullProbeBodyEnd;
    BYTE* m_pBuf;  // owned: dl::BUFFER_SIZE bytes
    DWORD m_cbBuf;
    ULONGLONG m_ullBufOffset;  // file offset of m_pBuf[0]
    DWORD m_dwBufTick;         // when the oldest buffered byte arrived
    DWORD m_dwRetryAfterSec;
    CUrl m_url;  // the address this connection asks, its mirror's for each part
    CSpeedWatch m_watch;
    CHttpHead m_head;
};

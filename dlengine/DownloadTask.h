// CDownloadTask: one download, from its first request to the renamed file. Its controller
// thread probes the server (size, ranges, validators), prepares the work files, runs up to
// eight connection threads (CWorker) over the parts of the file, writes the record about
// once a second, and finishes, pauses, stops or fails the task. The engine's entry points
// reach it only through the public operations, which are safe from any thread.
#pragma once
#include "Connection.h"
#include "DataFile.h"
#include "Internal.h"
#include "PartScheduler.h"
#include "Sync.h"
#include "WorkRecord.h"

class CWorker;

class CDownloadTask : public INetEnv
{
public:
    // A task for a new download, or null when out of memory.
    static CDownloadTask* CreateNew(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer);
    // A task that continues from a record already checked against its data file.
    static CDownloadTask* CreateFromRecord(LPCWSTR pszPath, const CWorkRecord& record);

    void AddRef();
    void Release();

    void SetId(LONG lId) { m_lId = lId; }
    LONG Id() const { return m_lId; }
    LPCWSTR Path() const { return m_szPath; }

    LONG Start();
    LONG Pause(BOOL bWait);
    LONG Continue();
    // Ends the threads and brings the work files up to date before returning.
    void Stop();
    void Query(LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived);
    // Connecting, downloading or paused: the work files belong to this task.
    BOOL HoldsFiles();
    // Finished, stopped or failed, with no thread left.
    BOOL HasEnded();

    // INetEnv
    virtual CResolver* Resolver() { return &m_resolver; }
    virtual HANDLE StopEvent() { return m_hAbort; }
    virtual BOOL UseWinHttpForPlain() { return m_bUseProxy; }
    virtual void* WinHttpSession();

    // ---- for the connection threads (each locks what it needs) ----
    BOOL Aborting() const { return m_lAborting != 0; }
    BOOL IsRanged();
    const char* Referrer() const { return m_szReferrerA; }
    void GetEffectiveUrl(CUrl* pUrl);
    CDataFile& Data() { return m_data; }
    // The part connection nWorker fetches next (its position and end), or -1: the
    // connection then leaves and is no longer counted.
    int AcquirePart(int nWorker, ULONGLONG* pullPos, ULONGLONG* pullEnd);
    // cb bytes received at the part's position: how many the part still wants; *pullEnd is
    // the part's end now (another connection may have taken its tail).
    DWORD Advance(int iPart, DWORD cb, ULONGLONG* pullEnd);
    void OnWritten(ULONGLONG ullOffset, DWORD cb);
    void OnLost(DWORD cb);
    // A single stream of unknown length ended at ullEnd.
    void EndStream(int iPart, ULONGLONG ullEnd);
    // DLE_OK when a ranged response fits the task; DLX_RESTART when the server's file changed
    // or ranges are no longer honoured (the restart is already requested); else an error.
    LONG CheckPartHead(const CHttpHead& head, ULONGLONG ullPos);
    void RequestRestart();
    void Fail(LONG lError);
    void NoteFault(LONG lError);
    // Lets a failing connection leave while others go on; FALSE when it is the last one.
    BOOL Retire(int nWorker);
    void OnWorkerExit(BOOL bCounted);

private:
    enum Reason { REASON_NONE, REASON_RESTART, REASON_FAIL, REASON_PAUSE, REASON_STOP };

    CDownloadTask();
    virtual ~CDownloadTask();
    BOOL InitCommon(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer);

    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    LONG Download();
    LONG Probe(CConnection** ppConn, CHttpHead* pHead);
    LONG AcceptProbe(const CHttpHead& head, ULONGLONG ullStart, const CUrl& url);
    LONG Prepare();
    LONG RunWorkers(CConnection* pProbe, const CHttpHead& head);
    void Supervise();
    void MaybeRespawn(ULONGLONG ullSerial);
    LONG Checkpoint();
    LONG SaveRecord();
    LONG Complete();
    void Conclude(LONG lResult);
    BOOL ResetForRestart();
    void ForgetProgress();          // lock held
    BOOL ValidatorsMatch(const CHttpHead& head) const;   // lock held
    void SetReason(Reason r);       // lock held
    LONG StartThread();

    volatile LONG m_lRefs;
    LONG m_lId;
    WCHAR m_szPath[DL_MAX_PATH + 1];
    WCHAR m_szWork[DL_MAX_PATH + 8];      // P.dl
    WCHAR m_szRecord[DL_MAX_PATH + 8];    // P.dl.cfg
    WCHAR m_szTemp[DL_MAX_PATH + 8];      // P.dl.new, the next record before it replaces the old
    WCHAR m_szUrl[DL_MAX_URL + 1];
    WCHAR m_szReferrer[DL_MAX_URL + 1];
    char m_szReferrerA[DL_MAX_URL * 3 + 1];

    CCritSec m_csControl;     // one control operation (pause, continue, stop) at a time
    CCritSec m_cs;            // guards everything below
    LONG m_lStatus;
    LONG m_lError;
    LONG m_lLastFault;
    Reason m_reason;
    volatile LONG m_lAborting;
    HANDLE m_hAbort;          // owned: manual reset; every wait of the task's threads watches it
    HANDLE m_hWorkerExit;     // owned: auto reset
    HANDLE m_hThread;         // owned: the controller
    BOOL m_bRunning;

    // What is known about the server's file and what of it is on disk.
    BOOL m_bHaveState;        // m_written and the validators describe earlier progress
    BOOL m_bDataOnDisk;       // "P.dl" exists and holds m_written
    BOOL m_bResetData;        // "P.dl" must be emptied before new bytes go in
    ULONGLONG m_ullTotal;
    BOOL m_bSizeKnown;
    BOOL m_bRanges;
    char m_szETag[256];
    char m_szLastModified[256];
    CRangeSet m_written;      // on the data file (not necessarily flushed yet)
    ULONGLONG m_ullBuffered;  // received, still in connection buffers
    ULONGLONG m_ullSerial;    // counts writes, so the controller sees new data
    BOOL m_bStreamEnded;
    ULONGLONG m_ullStreamEnd;
    CPartScheduler m_parts;
    CUrl m_urlEffective;
    int m_nLive;              // connection threads still counted as working
    int m_nRetired;           // connections that left after repeated faults
    DWORD m_dwLastRetire;
    CWorker* m_workers[dl::MAX_CONNECTIONS];   // owned while the controller runs

    // Used by the controller thread only.
    CDataFile m_data;
    CWorkRecord m_record;
    ULONGLONG m_ullSavedSerial;
    ULONGLONG m_ullRespawnSerial;
    CResolver m_resolver;
    BOOL m_bProxyChecked;
    BOOL m_bUseProxy;
    WCHAR m_szProxy[1024];
    WCHAR m_szBypass[1024];
    void* m_hSession;         // owned: HINTERNET, opened on first use
};

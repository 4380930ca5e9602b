// CDownloadTask: one download, from its first request to the renamed file. Its controller
// thread probes a mirror (size, ranges, validators), prepares the work files, runs up to
// eight connection threads (CWorker) over the parts of the file, spread over every usable
// mirror (CMirrorSet), writes the record about once a second, retries passing faults for as
// long as the patience window allows, verifies the SHA-256 when one is expected, and
// finishes, pauses, stops or fails the task. A verify-only task just hashes a file in place.
// The engine's entry points reach it only through the public operations, safe from any thread.
#pragma once
#include "Connection.h"
#include "AnswerCheck.h"
#include "DataFile.h"
#include "FileHasher.h"
#include "MirrorSet.h"
#include "Internal.h"
#include "PartScheduler.h"
#include "Sync.h"
#include "WorkRecord.h"

class CWorker;

class CDownloadTask : public INetEnv
{
public:
    // What the engine checked before it creates a task: the target's full path, the
    // addresses, and the expected content.
    struct Params
    {
        LPCWSTR pszPath;
        const LPCWSTR* ppszUrls;
        int cUrls;
        LPCWSTR pszReferrer;
        ULONGLONG ullExpectedSize;  // 0 = not known
        const BYTE* pbSha256;       // SHA256_DIGEST_SIZE bytes, or null
    };

    // A task for a new download, or null when out of memory.
    static CDownloadTask* CreateNew(const Params& params);
    // A task that continues from a record already checked against its data file; the
    // params' addresses are added to the record's, its expected content replaces none.
    static CDownloadTask* CreateFromRecord(const Params& params, const CWorkRecord& record);
    // A task that only hashes the file at pszPath.
    static CDownloadTask* CreateVerifyOnly(const Params& params);

    void AddRef();
    void Release();

    void SetId(LONG lId) { m_lId = lId; }
    LONG Id() const { return m_lId; }
    LPCWSTR Path() const { return m_szPath; }

    LONG Start();
    LONG Pause(BOOL bWait);
    LONG Continue();
    // Ends the threads and brings the work files up to date; waits for that at most dwWaitMs
    // (0: only asks), the rest goes on without the caller.
    void Stop(DWORD dwWaitMs = dl::STOP_WAIT_MS);
    void Query(LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived);
    void QueryEx(DL_TASK_INFO* pInfo);
    // DLE_OK (also for an address already known), DLE_BAD_STATE once the task has ended,
    // DLE_UNSUPPORTED_URL, or DLE_NO_RESOURCES when the task holds DL_MAX_MIRRORS already.
    LONG AddMirror(LPCWSTR pszUrl);
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
    int LiveConnections()
    {
        CAutoLock lock(m_cs);
        return m_nLive;
    }
    const char* Referrer() const { return m_szReferrerA; }
    // The address of the mirror connection nWorker was given by AcquirePart (*pUrl, a redirect
    // target once one is known) and the address that mirror was given (*pGiven), which the
    // connection goes back to once when the redirect target refuses.
    void GetEffectiveUrl(int nWorker, CUrl* pUrl, CUrl* pGiven);
    CDataFile& Data() { return m_data; }
    // The part connection nWorker fetches next (its position and end) and the mirror it asks,
    // or -1: the connection then leaves and is no longer counted (no work left, or every
    // usable mirror holds as many connections as it accepts).
    int AcquirePart(int nWorker, ULONGLONG* pullPos, ULONGLONG* pullEnd);
    // cb bytes received at the part's position: how many the part still wants; *pullEnd is
    // the part's end now (another connection may have taken its tail).
    DWORD Advance(int iPart, DWORD cb, ULONGLONG* pullEnd);
    void OnWritten(ULONGLONG ullOffset, DWORD cb);
    void OnLost(DWORD cb);
    // A single stream of unknown length ended at ullEnd.
    void EndStream(int iPart, ULONGLONG ullEnd);
    // DLE_OK when a ranged response fits the task; DLX_RESTART when the server's file changed
    // or ranges are no longer honoured (the restart is already requested); DLX_AGAIN when the
    // connection's mirror was dropped and others remain, or it goes back to the address it
    // was given; else an error.
    LONG CheckPartHead(int nWorker, const CHttpHead& head, ULONGLONG ullPos, const CUrl& url);
    void RequestRestart();
    void Fail(LONG lError);
    // A fault of connection nWorker that may pass: its mirror cools down.
    void NoteFault(int nWorker, LONG lError);
    // Lets a failing connection leave; the controller brings connections back once data
    // flows again, or after a back-off when none is left.
    BOOL Retire(int nWorker);
    void OnWorkerExit(BOOL bCounted);

private:
    enum Reason { REASON_NONE, REASON_RESTART, REASON_FAIL, REASON_PAUSE, REASON_STOP };

    CDownloadTask();
    virtual ~CDownloadTask();
    BOOL InitCommon(const Params& params);

    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    LONG Download();
    LONG Probe(CConnection** ppConn, CHttpHead* pHead, int* pnMirror);
    LONG AcceptProbe(const CHttpHead& head, ULONGLONG ullStart, const CUrl& url, int nMirror);
    // The mirror's fault for the size it reports, or DLE_OK.
    LONG CheckMirrorSize(ULONGLONG ullTotal, int nMirror) const;  // lock held
    LONG Prepare();
    // RunWorkers' steps: parts planned, connections started, watched, joined, judged.
    LONG RunWorkers(CConnection* pProbe, const CHttpHead& head, int nProbeMirror);
    int PlanParts(ULONGLONG* pullStart);
    BOOL StartWorkers(int nWorkers, CConnection* pProbe, const CHttpHead& head, ULONGLONG ullStart, int nProbeMirror);
    void JoinWorkers();
    LONG WorkersResult();
    void Supervise();
    BOOL KeepPatience();
    void MaybeRespawn(ULONGLONG ullSerial);
    BOOL SpawnWorker();
    LONG DropMirrorOf(int nWorker, LONG lReason);  // lock held
    LONG Checkpoint();
    LONG SaveRecord(const CRangeSet* pClaims = NULL);  // m_written when null
    LONG CloseData();
    LONG Publish();
    void Conclude(LONG lResult);
    // The expected SHA-256 against the finished data file (TaskVerify.cpp).
    LONG VerifyData();
    void RunVerifyOnly();
    BOOL ResetForRestart();
    void ForgetProgress();                                            // lock held
    DLKnownFile Known(int nMirror) const;                             // lock held
    LONG RefusedPart(int nWorker, int nStatus);                       // lock held
    LONG ProbeMirrorFault(const CHttpHead& head, int nMirror) const;  // lock held
    void SetReason(Reason r);                                         // lock held
    LONG StartThread();

    volatile LONG m_lRefs;
    LONG m_lId;
    WCHAR m_szPath[DL_MAX_PATH + 1];
    WCHAR m_szWork[DL_MAX_PATH + 8];    // P.dl
    WCHAR m_szRecord[DL_MAX_PATH + 8];  // P.dl.cfg
    WCHAR m_szTemp[DL_MAX_PATH + 8];    // P.dl.new, the next record before it replaces the old
    WCHAR m_szUrl[DL_MAX_URL + 1];      // the first address (system proxy choice)
    WCHAR m_szReferrer[DL_MAX_URL + 1];
    char m_szReferrerA[DL_MAX_URL * 3 + 1];

    CCritSec m_csControl;  // one control operation (pause, continue, stop) at a time
    CCritSec m_cs;         // guards everything below
    LONG m_lStatus;
    LONG m_lError;
    LONG m_lLastFault;
    DWORD m_dwLastFault;  // tick of m_lLastFault
    Reason m_reason;
    volatile LONG m_lAborting;
    HANDLE m_hAbort;       // owned: manual reset; every wait of the task's threads watches it
    HANDLE m_hWorkerExit;  // owned: auto reset
    HANDLE m_hThread;      // owned: the controller
    DWORD m_dwThreadId;
    HMODULE m_hPin;  // the controller's reference to the engine's module, released as it exits
    BOOL m_bRunning;

    // What is known about the server's file and what of it is on disk.
    BOOL m_bHaveState;   // m_written and the validators describe earlier progress
    BOOL m_bDataOnDisk;  // "P.dl" exists and holds m_written
    BOOL m_bResetData;   // "P.dl" must be emptied before new bytes go in
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
    CMirrorSet m_mirrors;
    int m_anWorkerMirror[dl::MAX_CONNECTIONS];  // mirror each connection asks, -1 none
    int m_nValidatorMirror;                     // the mirror m_szETag and m_szLastModified came from, -1 none
    ULONGLONG m_ullExpected;                    // 0 = not known
    BOOL m_bHaveSha;
    BYTE m_abSha[SHA256_DIGEST_SIZE];
    BOOL m_bVerifyOnly;
    DWORD m_dwPatienceMs;
    DWORD m_dwLastProgress;  // tick of the last byte received (or of the task's start)
    int m_nRevivals;         // connections brought back with no byte since
    DWORD m_dwReviveAt;
    int m_nFullAnswers;     // probe answers in a row that were 200
    BOOL m_bProbeFromZero;  // a 416 named another size: the next probe asks from byte 0
    int m_nLive;            // connection threads still counted as working
    int m_nRetired;         // connections that left after repeated faults
    DWORD m_dwLastRetire;
    CWorker* m_workers[dl::MAX_CONNECTIONS];  // owned while the controller runs

    // Used by the controller thread only.
    CDataFile m_data;
    CFileHasher m_hasher;
    CWorkRecord m_record;
    ULONGLONG m_ullSavedSerial;
    CRangeSet m_flushed;  // what the last checkpoint's flush covered
    ULONGLONG m_ullRespawnSerial;
    CResolver m_resolver;
    BOOL m_bProxyChecked;
    BOOL m_bUseProxy;
    WCHAR m_szProxy[1024];
    WCHAR m_szBypass[1024];
    void* m_hSession;  // owned: HINTERNET, opened on first use
};

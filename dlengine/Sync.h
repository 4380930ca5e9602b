// Small synchronisation helpers of the engine: a critical section with a scoped lock, and
// bounded waits on a stop event. Everything here works on Windows XP (no SRW locks or
// condition variables).
#pragma once
#include <windows.h>

class CCritSec
{
public:
    CCritSec() { ::InitializeCriticalSection(&m_cs); }
    ~CCritSec() { ::DeleteCriticalSection(&m_cs); }
    void Lock() { ::EnterCriticalSection(&m_cs); }
    void Unlock() { ::LeaveCriticalSection(&m_cs); }

private:
    CCritSec(const CCritSec&);
    CCritSec& operator=(const CCritSec&);
    CRITICAL_SECTION m_cs;
};

class CAutoLock
{
public:
    explicit CAutoLock(CCritSec& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CAutoLock() { m_cs.Unlock(); }

private:
    CAutoLock(const CAutoLock&);
    CAutoLock& operator=(const CAutoLock&);
    CCritSec& m_cs;  // not owned
};

// Sleeps up to dwMs; FALSE when hStop was signalled first.
inline BOOL SleepUnlessStopped(HANDLE hStop, DWORD dwMs) { return ::WaitForSingleObject(hStop, dwMs) == WAIT_TIMEOUT; }

// Milliseconds elapsed since dwStart (GetTickCount), correct across the 49-day wrap.
inline DWORD TicksSince(DWORD dwStart) { return ::GetTickCount() - dwStart; }

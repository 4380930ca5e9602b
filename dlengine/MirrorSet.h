// CMirrorSet: the addresses of one file that a task downloads from at once, with what the
// task has learnt about each: whether it answered usably, how many of the task's connections
// it holds and accepts, how fast it delivers, and its run of faults. Picks the mirror for
// each new request (the least loaded for its measured speed), cools a failing mirror down
// for a jittered, growing while, and drops one that fails for good. Not thread-safe: the
// task's lock guards it.
#pragma once
#include "DLEngineApi.h"
#include "Url.h"

struct DLMirror
{
    enum State { UNTRIED, USABLE, DROPPED };

    WCHAR szUrl[DL_MAX_URL + 1];  // as given
    CUrl url;                     // the address requests go to (a redirect target once one answered)
    State state;
    LONG lDropReason;          // DLE_ code of the fault that dropped it
    int nConns;                // the task's connections on it now
    int nCap;                  // connections it accepts (0 = not known to be limited)
    ULONGLONG ullBytes;        // bytes received from it
    ULONGLONG ullSampleBytes;  // ullBytes at the last speed sample
    DWORD dwSpeed;             // bytes per second, smoothed; 0 = not measured
    int nFaults;               // faults since its last byte
    LONG lLastFault;           // DLE_ code of the latest of them
    DWORD dwFirstFault;        // tick of the first of them
    DWORD dwRetryAt;           // tick before which it is cooling down
    DWORD dwLastByte;          // tick of its last byte (0 = none yet)
};

class CMirrorSet
{
public:
    // Longest a mirror may fail without a byte while another mirror delivers, before it is dropped.
    static const DWORD DEAD_AFTER_MS = 60 * 1000;

    CMirrorSet();

    // The index of the address (also when it is already known), -1 when the set is full, or
    // -2 when the address is not a usable http(s) URL.
    int Add(LPCWSTR pszUrl);
    int Count() const { return m_nCount; }
    DLMirror& At(int i) { return m_mirrors[i]; }
    const DLMirror& At(int i) const { return m_mirrors[i]; }
    int Find(LPCWSTR pszUrl) const;
    // Not dropped.
    int Alive() const;
    // Connections the alive mirrors are known to accept; 0 when any of them is not limited.
    int Capacity() const;

    // The mirror a connection now on nCurrent (-1: none) should use next: it stays unless its
    // mirror is dropped, cooling down or full, or another is clearly less loaded. -1 when every
    // alive mirror is full.
    int Pick(int nCurrent, DWORD dwNow) const;
    // The mirror to ask first for the file's size: the first one in order that is not cooling
    // down, else the one whose cool-down ends first. -1 when all are dropped.
    int PickForProbe(DWORD dwNow, DWORD* pdwWaitMs) const;

    void Attach(int i) { ++m_mirrors[i].nConns; }
    void Detach(int i)
    {
        if (m_mirrors[i].nConns > 0)
            --m_mirrors[i].nConns;
    }
    void OnBytes(int i, DWORD cb, DWORD dwNow);
    // A fault that may pass: the mirror cools down (at least dwRetryAfterMs).
    void OnFault(int i, LONG lFault, DWORD dwNow, DWORD dwRetryAfterMs);
    // The mirror refused one more connection while nConns of the task's were on it.
    void OnFull(int i);
    void Drop(int i, LONG lReason);
    // Smooths each mirror's speed from the bytes since the last call, dwElapsedMs ago; drops a
    // mirror that has failed without a byte for DEAD_AFTER_MS while another delivered.
    void Sample(DWORD dwElapsedMs, DWORD dwNow);
    // The reason of the last drop (the code a task ends with when no mirror is left).
    LONG LastDropReason() const { return m_lLastDrop; }

private:
    BOOL Cooling(int i, DWORD dwNow) const;
    BOOL Full(int i) const;
    // Connections per byte per second: lower is better.
    double Load(int i, int nExtra) const;

    DLMirror m_mirrors[DL_MAX_MIRRORS];
    int m_nCount;
    LONG m_lLastDrop;
};

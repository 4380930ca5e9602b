#include "MirrorSet.h"
#include "Backoff.h"
#include "Sync.h"
#include <string.h>

CMirrorSet::CMirrorSet() : m_nCount(0), m_lLastDrop(DLE_OK) {}

int CMirrorSet::Find(LPCWSTR pszUrl) const
{
    for (int i = 0; i < m_nCount; ++i) {
        if (lstrcmpW(m_mirrors[i].szUrl, pszUrl) == 0)
            return i;
    }
    return -1;
}

int CMirrorSet::Add(LPCWSTR pszUrl)
{
    int i = Find(pszUrl);
    if (i >= 0)
        return i;
    if (m_nCount == DL_MAX_MIRRORS)
        return -1;
    DLMirror& m = m_mirrors[m_nCount];
    if (m.url.Parse(pszUrl) != DLE_OK)
        return -2;
    lstrcpynW(m.szUrl, pszUrl, DL_MAX_URL + 1);
    m.state = DLMirror::UNTRIED;
    m.lDropReason = DLE_OK;
    m.nConns = m.nCap = 0;
    m.ullBytes = m.ullSampleBytes = 0;
    m.dwSpeed = 0;
    m.nFaults = 0;
    m.lLastFault = DLE_OK;
    m.dwFirstFault = m.dwRetryAt = m.dwLastByte = 0;
    return m_nCount++;
}

int CMirrorSet::Alive() const
{
    int n = 0;
    for (int i = 0; i < m_nCount; ++i)
        n += m_mirrors[i].state != DLMirror::DROPPED;
    return n;
}

int CMirrorSet::Capacity() const
{
    int n = 0;
    for (int i = 0; i < m_nCount; ++i) {
        if (m_mirrors[i].state == DLMirror::DROPPED)
            continue;
        if (m_mirrors[i].nCap == 0)
            return 0;
        n += m_mirrors[i].nCap;
    }
    return n;
}

BOOL CMirrorSet::Cooling(int i, DWORD dwNow) const
{
    const DLMirror& m = m_mirrors[i];
    return m.nFaults > 0 && (LONG)(m.dwRetryAt - dwNow) > 0;
}

BOOL CMirrorSet::Full(int i) const { return m_mirrors[i].nCap > 0 && m_mirrors[i].nConns >= m_mirrors[i].nCap; }

double CMirrorSet::Load(int i, int nExtra) const
{
    // A mirror not measured yet counts as fast as the fastest one, so that it gets tried.
    DWORD speed = m_mirrors[i].dwSpeed;
    if (speed == 0) {
        for (int j = 0; j < m_nCount; ++j) {
            if (m_mirrors[j].dwSpeed > speed)
                speed = m_mirrors[j].dwSpeed;
        }
    }
    return (m_mirrors[i].nConns + nExtra) / (double)(speed + 1024);
}

int CMirrorSet::Pick(int nCurrent, DWORD dwNow) const
{
    int iBest = -1;
    BOOL bBestCooling = TRUE;
    double best = 0;
    for (int i = 0; i < m_nCount; ++i) {
        if (m_mirrors[i].state == DLMirror::DROPPED)
            continue;
        // The connection's own mirror counts without it.
        int nExtra = i == nCurrent ? 0 : 1;
        if (i != nCurrent && Full(i))
            continue;
        if (i == nCurrent && m_mirrors[i].nCap > 0 && m_mirrors[i].nConns > m_mirrors[i].nCap)
            continue;
        BOOL bCooling = Cooling(i, dwNow);
        double load = Load(i, nExtra);
        if (i == nCurrent)
            load /= 1.5;  // moving costs a new connection: stay unless clearly better elsewhere
        if (iBest < 0 || (bBestCooling && !bCooling) || (bBestCooling == bCooling && load < best)) {
            iBest = i;
            best = load;
            bBestCooling = bCooling;
        }
    }
    return iBest;
}

int CMirrorSet::PickForProbe(DWORD dwNow, DWORD* pdwWaitMs) const
{
    int iSoonest = -1;
    *pdwWaitMs = 0;
    for (int i = 0; i < m_nCount; ++i) {
        if (m_mirrors[i].state == DLMirror::DROPPED)
            continue;
        if (!Cooling(i, dwNow))
            return i;
        if (iSoonest < 0 || (LONG)(m_mirrors[i].dwRetryAt - m_mirrors[iSoonest].dwRetryAt) < 0)
            iSoonest = i;
    }
    if (iSoonest >= 0)
        *pdwWaitMs = m_mirrors[iSoonest].dwRetryAt - dwNow;
    return iSoonest;
}

void CMirrorSet::OnBytes(int i, DWORD cb, DWORD dwNow)
{
    DLMirror& m = m_mirrors[i];
    m.ullBytes += cb;
    m.nFaults = 0;
    m.dwLastByte = dwNow ? dwNow : 1;
    if (m.state == DLMirror::UNTRIED)
        m.state = DLMirror::USABLE;
}

void CMirrorSet::OnFault(int i, LONG lFault, DWORD dwNow, DWORD dwRetryAfterMs)
{
    DLMirror& m = m_mirrors[i];
    m.lLastFault = lFault;
    if (m.nFaults++ == 0)
        m.dwFirstFault = dwNow;
    m.dwRetryAt = dwNow + dl::JitteredBackoffMs(m.nFaults, dwRetryAfterMs);
}

void CMirrorSet::OnFull(int i)
{
    DLMirror& m = m_mirrors[i];
    int nAccepted = m.nConns - 1;
    if (nAccepted < 1)
        nAccepted = 1;
    if (m.nCap == 0 || nAccepted < m.nCap)
        m.nCap = nAccepted;
}

void CMirrorSet::Drop(int i, LONG lReason)
{
    if (m_mirrors[i].state == DLMirror::DROPPED)
        return;
    m_mirrors[i].state = DLMirror::DROPPED;
    m_mirrors[i].lDropReason = lReason;
    m_lLastDrop = lReason;
}

void CMirrorSet::Sample(DWORD dwElapsedMs, DWORD dwNow)
{
    BOOL bAnyDelivering = FALSE;
    for (int i = 0; i < m_nCount; ++i) {
        DLMirror& m = m_mirrors[i];
        if (dwElapsedMs == 0)
            break;
        ULONGLONG delta = m.ullBytes - m.ullSampleBytes;
        m.ullSampleBytes = m.ullBytes;
        DWORD now = (DWORD)(delta * 1000 / dwElapsedMs);
        if (delta != 0)
            bAnyDelivering = TRUE;
        if (delta != 0 || m.nConns > 0)
            m.dwSpeed = m.dwSpeed == 0 ? now : (m.dwSpeed * 3 + now) / 4;
    }
    if (!bAnyDelivering)
        return;
    for (int i = 0; i < m_nCount; ++i) {
        DLMirror& m = m_mirrors[i];
        if (m.state != DLMirror::DROPPED && m.nFaults > 0 && dwNow - m.dwFirstFault >= DEAD_AFTER_MS)
            Drop(i, m.lLastFault);
    }
}

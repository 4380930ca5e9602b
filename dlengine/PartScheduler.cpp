#include "PartScheduler.h"

CPartScheduler::CPartScheduler() : m_nCount(0), m_ullMinPart(1) {}

ULONGLONG CPartScheduler::SplitPoint(ULONGLONG ullPos, ULONGLONG ullEnd)
{
    ULONGLONG mid = ullPos + (ullEnd - ullPos) / 2;
    ULONGLONG aligned = mid & ~(ULONGLONG)0xFFFF;  // 64 KiB boundaries keep writes aligned
    return aligned > ullPos ? aligned : mid;
}

int CPartScheduler::NewPart(ULONGLONG ullPos, ULONGLONG ullEnd, int nOwner)
{
    // Reuse a finished slot before growing the table.
    UINT i = 0;
    while (i < m_nCount && m_parts[i].ullPos < m_parts[i].ullEnd)
        ++i;
    if (i == m_nCount) {
        if (m_nCount == MAX_PARTS)
            return -1;
        ++m_nCount;
    }
    m_parts[i].ullPos = ullPos;
    m_parts[i].ullEnd = ullEnd;
    m_parts[i].nOwner = nOwner;
    return (int)i;
}

BOOL CPartScheduler::Plan(const CRangeSet& missing, UINT nWanted, ULONGLONG ullMinPart)
{
    m_nCount = 0;
    m_ullMinPart = ullMinPart ? ullMinPart : 1;
    for (UINT i = 0; i < missing.Count(); ++i) {
        if (NewPart(missing.At(i).ullBegin, missing.At(i).ullEnd, -1) < 0)
            return FALSE;
    }
    while (m_nCount < nWanted) {
        int iBig = Largest(-2, FALSE);
        if (iBig < 0)
            break;
        DLPart& big = m_parts[iBig];
        ULONGLONG mid = SplitPoint(big.ullPos, big.ullEnd);
        ULONGLONG ullEnd = big.ullEnd;
        big.ullEnd = mid;
        NewPart(mid, ullEnd, -1);
    }
    // Keep the parts in file order, so the first connection takes the start of the file.
    for (UINT i = 1; i < m_nCount; ++i) {
        DLPart p = m_parts[i];
        UINT j = i;
        for (; j > 0 && m_parts[j - 1].ullPos > p.ullPos; --j)
            m_parts[j] = m_parts[j - 1];
        m_parts[j] = p;
    }
    return TRUE;
}

// The part with the most bytes left that can be split (at least twice the minimum), or -1.
int CPartScheduler::Largest(int nExcludeOwner, BOOL bAssignedOnly) const
{
    int iBest = -1;
    ULONGLONG best = 0;
    for (UINT i = 0; i < m_nCount; ++i) {
        const DLPart& p = m_parts[i];
        if (p.nOwner == nExcludeOwner || (bAssignedOnly && p.nOwner < 0))
            continue;
        ULONGLONG left = p.ullEnd - p.ullPos;
        if (left >= 2 * m_ullMinPart && left > best) {
            best = left;
            iBest = (int)i;
        }
    }
    return iBest;
}

int CPartScheduler::Acquire(int nWorker)
{
    int iFree = -1;
    for (UINT i = 0; i < m_nCount; ++i) {
        const DLPart& p = m_parts[i];
        if (p.ullPos >= p.ullEnd)
            continue;
        if (p.nOwner == nWorker)
            return (int)i;
        if (p.nOwner < 0 && (iFree < 0 || p.ullPos < m_parts[iFree].ullPos))
            iFree = (int)i;
    }
    if (iFree >= 0) {
        m_parts[iFree].nOwner = nWorker;
        return iFree;
    }
    int iVictim = Largest(nWorker, TRUE);
    if (iVictim < 0)
        return -1;
    ULONGLONG mid = SplitPoint(m_parts[iVictim].ullPos, m_parts[iVictim].ullEnd);
    ULONGLONG ullEnd = m_parts[iVictim].ullEnd;
    int iNew = NewPart(mid, ullEnd, nWorker);
    if (iNew >= 0)
        m_parts[iVictim].ullEnd = mid;
    return iNew;
}

BOOL CPartScheduler::HasWorkForNewcomer() const
{
    for (UINT i = 0; i < m_nCount; ++i) {
        if (m_parts[i].nOwner < 0 && m_parts[i].ullPos < m_parts[i].ullEnd)
            return TRUE;
    }
    return Largest(-2, TRUE) >= 0;
}

void CPartScheduler::Release(int nWorker)
{
    for (UINT i = 0; i < m_nCount; ++i) {
        if (m_parts[i].nOwner == nWorker)
            m_parts[i].nOwner = -1;
    }
}

DWORD CPartScheduler::Advance(int iPart, DWORD cb)
{
    DLPart& p = m_parts[iPart];
    ULONGLONG left = p.ullEnd > p.ullPos ? p.ullEnd - p.ullPos : 0;
    DWORD take = (ULONGLONG)cb < left ? cb : (DWORD)left;
    p.ullPos += take;
    return take;
}

ULONGLONG CPartScheduler::Remaining() const
{
    ULONGLONG n = 0;
    for (UINT i = 0; i < m_nCount; ++i) {
        if (m_parts[i].ullEnd > m_parts[i].ullPos)
            n += m_parts[i].ullEnd - m_parts[i].ullPos;
    }
    return n;
}

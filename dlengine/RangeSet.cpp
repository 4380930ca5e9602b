#include "RangeSet.h"
#include <stdlib.h>
#include <string.h>

CRangeSet::CRangeSet() : m_pRanges(NULL), m_nCount(0), m_nCapacity(0) {}

CRangeSet::~CRangeSet() { free(m_pRanges); }

BOOL CRangeSet::Reserve(UINT nCount)
{
    if (nCount <= m_nCapacity)
        return TRUE;
    UINT nNew = m_nCapacity ? m_nCapacity * 2 : 8;
    while (nNew < nCount)
        nNew *= 2;
    DLRange* p = (DLRange*)realloc(m_pRanges, nNew * sizeof(DLRange));
    if (p == NULL)
        return FALSE;
    m_pRanges = p;
    m_nCapacity = nNew;
    return TRUE;
}

BOOL CRangeSet::Add(ULONGLONG ullBegin, ULONGLONG ullEnd)
{
    if (ullBegin >= ullEnd)
        return TRUE;
    // First range that ends at or after ullBegin (it may touch or overlap the new one).
    UINT lo = 0, hi = m_nCount;
    while (lo < hi) {
        UINT mid = (lo + hi) / 2;
        if (m_pRanges[mid].ullEnd < ullBegin)
            lo = mid + 1;
        else
            hi = mid;
    }
    UINT first = lo;
    UINT last = first;  // one past the last range merged
    while (last < m_nCount && m_pRanges[last].ullBegin <= ullEnd) {
        if (m_pRanges[last].ullBegin < ullBegin)
            ullBegin = m_pRanges[last].ullBegin;
        if (m_pRanges[last].ullEnd > ullEnd)
            ullEnd = m_pRanges[last].ullEnd;
        ++last;
    }
    if (first == last) {
        if (!Reserve(m_nCount + 1))
            return FALSE;
        memmove(&m_pRanges[first + 1], &m_pRanges[first], (m_nCount - first) * sizeof(DLRange));
        ++m_nCount;
    } else if (last - first > 1) {
        memmove(&m_pRanges[first + 1], &m_pRanges[last], (m_nCount - last) * sizeof(DLRange));
        m_nCount -= last - first - 1;
    }
    m_pRanges[first].ullBegin = ullBegin;
    m_pRanges[first].ullEnd = ullEnd;
    return TRUE;
}

BOOL CRangeSet::CopyFrom(const CRangeSet& other)
{
    if (!Reserve(other.m_nCount))
        return FALSE;
    if (other.m_nCount != 0)
        memcpy(m_pRanges, other.m_pRanges, other.m_nCount * sizeof(DLRange));
    m_nCount = other.m_nCount;
    return TRUE;
}

ULONGLONG CRangeSet::Bytes() const
{
    ULONGLONG n = 0;
    for (UINT i = 0; i < m_nCount; ++i)
        n += m_pRanges[i].ullEnd - m_pRanges[i].ullBegin;
    return n;
}

BOOL CRangeSet::Covers(ULONGLONG ullTotal) const
{
    if (ullTotal == 0)
        return TRUE;
    return m_nCount != 0 && m_pRanges[0].ullBegin == 0 && m_pRanges[0].ullEnd >= ullTotal;
}

ULONGLONG CRangeSet::FirstGap() const
{
    return (m_nCount != 0 && m_pRanges[0].ullBegin == 0) ? m_pRanges[0].ullEnd : 0;
}

BOOL CRangeSet::Complement(ULONGLONG ullTotal, CRangeSet* pOut) const
{
    pOut->Clear();
    ULONGLONG pos = 0;
    for (UINT i = 0; i < m_nCount && pos < ullTotal; ++i) {
        ULONGLONG b = m_pRanges[i].ullBegin < ullTotal ? m_pRanges[i].ullBegin : ullTotal;
        if (b > pos && !pOut->Add(pos, b))
            return FALSE;
        if (m_pRanges[i].ullEnd > pos)
            pos = m_pRanges[i].ullEnd;
    }
    return pos >= ullTotal || pOut->Add(pos, ullTotal);
}

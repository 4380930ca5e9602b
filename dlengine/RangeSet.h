// CRangeSet: a sorted set of disjoint, non-adjacent byte ranges [begin, end) of one file.
// The task keeps the ranges written to the data file in one; the work-file record stores it.
#pragma once
#include <windows.h>

struct DLRange
{
    ULONGLONG ullBegin;
    ULONGLONG ullEnd;  // exclusive
};

class CRangeSet
{
public:
    CRangeSet();
    ~CRangeSet();

    // Adds [ullBegin, ullEnd), merging with overlapping or touching ranges. FALSE when out of memory.
    BOOL Add(ULONGLONG ullBegin, ULONGLONG ullEnd);
    BOOL CopyFrom(const CRangeSet& other);
    void Clear() { m_nCount = 0; }

    UINT Count() const { return m_nCount; }
    const DLRange& At(UINT i) const { return m_pRanges[i]; }
    ULONGLONG Bytes() const;
    // TRUE when [0, ullTotal) is covered completely.
    BOOL Covers(ULONGLONG ullTotal) const;
    // First byte at or after 0 that is not in the set.
    ULONGLONG FirstGap() const;
    // The ranges of [0, ullTotal) that are not in the set.
    BOOL Complement(ULONGLONG ullTotal, CRangeSet* pOut) const;

private:
    CRangeSet(const CRangeSet&);
    CRangeSet& operator=(const CRangeSet&);
    BOOL Reserve(UINT nCount);

    DLRange* m_pRanges;  // owned
    UINT m_nCount;
    UINT m_nCapacity;
};

// CPartScheduler: divides the missing bytes of a file among a task's connections and gives
// more work to a connection that runs out: an unassigned part first, else the second half of
// the largest part still being fetched (work stealing). Parts never shrink below the minimum
// size. Not thread-safe: the task's lock guards it.
#pragma once
#include "RangeSet.h"

struct DLPart
{
    ULONGLONG ullPos;  // next byte to receive
    ULONGLONG ullEnd;  // exclusive; lowered when another connection takes the tail
    int nOwner;        // connection index, -1 while unassigned
};

class CPartScheduler
{
public:
    enum { MAX_PARTS = 256 };

    CPartScheduler();

    // Parts from the missing ranges, the largest split in halves until there are nWanted parts
    // or no part is at least twice ullMinPart.
    BOOL Plan(const CRangeSet& missing, UINT nWanted, ULONGLONG ullMinPart);
    void Clear() { m_nCount = 0; }

    // The part connection nWorker fetches next, or -1 when nothing is left for it.
    int Acquire(int nWorker);
    // Gives back connection nWorker's unfinished part (it stops or retires).
    void Release(int nWorker);
    // The owner received cb bytes at the part's position: returns how many of them the part
    // still wants (a tail taken meanwhile is dropped) and advances the position.
    DWORD Advance(int iPart, DWORD cb);
    // The stream of a part of unknown length ended: the part ends where it stands.
    void EndAtPosition(int iPart) { m_parts[iPart].ullEnd = m_parts[iPart].ullPos; }

    // Would Acquire find work for a connection that holds no part?
    BOOL HasWorkForNewcomer() const;

    UINT Count() const { return m_nCount; }
    const DLPart& Part(int i) const { return m_parts[i]; }
    ULONGLONG Remaining() const;
    BOOL AllDone() const { return Remaining() == 0; }

private:
    int NewPart(ULONGLONG ullPos, ULONGLONG ullEnd, int nOwner);
    int Largest(int nExcludeOwner, BOOL bAssignedOnly) const;
    static ULONGLONG SplitPoint(ULONGLONG ullPos, ULONGLONG ullEnd);

    DLPart m_parts[MAX_PARTS];
    UINT m_nCount;
    ULONGLONG m_ullMinPart;
};

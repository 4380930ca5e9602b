#include "Backoff.h"

namespace dl {

static volatile LONG s_lSeed = 0;

// A small shared generator: quality hardly matters, only that connections differ.
static DWORD NextRandom()
{
    LONG seed = s_lSeed;
    if (seed == 0)
        seed = (LONG)(::GetTickCount() ^ (::GetCurrentThreadId() << 16) ^ 0x5DEECE6);
    LONG next = seed * 1103515245 + 12345 + (LONG)::GetCurrentThreadId();
    ::InterlockedExchange(&s_lSeed, next);
    return (DWORD)next >> 8;
}

DWORD Jitter(DWORD dwMs)
{
    DWORD spread = dwMs / 2;
    return dwMs - spread / 2 + NextRandom() % (spread + 1);
}

DWORD JitteredBackoffMs(int nFaults, DWORD dwAtLeastMs, DWORD dwFirstMs, DWORD dwMaxMs)
{
    DWORD ms = dwFirstMs;
    for (int i = 1; i < nFaults && ms < dwMaxMs; ++i)
        ms *= 2;
    if (ms > dwMaxMs)
        ms = dwMaxMs;
    ms = Jitter(ms);
    return ms > dwAtLeastMs ? ms : dwAtLeastMs;
}

}  // namespace dl

#include "SpeedWatch.h"

CSpeedWatch::CSpeedWatch() : m_dwStart(0), m_ullMine(0), m_ullTaskAtStart(0) {}

void CSpeedWatch::Restart(DWORD dwNow, ULONGLONG ullTaskBytes)
{
    m_dwStart = dwNow;
    m_ullMine = 0;
    m_ullTaskAtStart = ullTaskBytes;
}

BOOL CSpeedWatch::IsSlow(DWORD dwNow, ULONGLONG ullTaskBytes, int nConnections)
{
    DWORD dwSpan = dwNow - m_dwStart;
    if (dwSpan < WINDOW_MS)
        return FALSE;
    ULONGLONG ullMinePerSec = m_ullMine * 1000 / dwSpan;
    ULONGLONG ullTask = ullTaskBytes > m_ullTaskAtStart ? ullTaskBytes - m_ullTaskAtStart : 0;
    ULONGLONG ullOthers = ullTask > m_ullMine ? ullTask - m_ullMine : 0;
    ULONGLONG ullOthersPerSec = nConnections > 1 ? ullOthers * 1000 / dwSpan / (ULONGLONG)(nConnections - 1) : 0;
    Restart(dwNow, ullTaskBytes);
    if (ullMinePerSec < FLOOR_PER_SEC)
        return TRUE;
    return ullOthersPerSec >= OTHERS_AT_LEAST_PER_SEC && ullMinePerSec * FAR_BELOW < ullOthersPerSec;
}

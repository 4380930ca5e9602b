// CSpeedWatch: what one connection received over the last window of a few seconds, against
// what the task's other connections received meanwhile. A connection below a floor, or far
// below the others, for a whole window is slow: its worker recycles it (a new connection for
// the rest of its part), so a slow-drip connection never holds the end of a download.
#pragma once
#include <windows.h>

class CSpeedWatch
{
public:
    enum { WINDOW_MS = 5000, FLOOR_PER_SEC = 4 * 1024, FAR_BELOW = 10, OTHERS_AT_LEAST_PER_SEC = 256 * 1024 };

    CSpeedWatch();
    // A new response begins: the window starts again. ullTaskBytes: the task's bytes now.
    void Restart(DWORD dwNow, ULONGLONG ullTaskBytes);
    void Add(DWORD cb) { m_ullMine += cb; }
    // Whether a full window has passed (then a new one starts) and this connection was slow in it.
    // nConnections: the task's connections now, this one included.
    BOOL IsSlow(DWORD dwNow, ULONGLONG ullTaskBytes, int nConnections);
    // TRUE once a window is due: the caller then reads the task's bytes and asks IsSlow.
    BOOL WindowDue(DWORD dwNow) const { return dwNow - m_dwStart >= WINDOW_MS; }

private:
    DWORD m_dwStart;
    ULONGLONG m_ullMine;
    ULONGLONG m_ullTaskAtStart;
};

// One sample of the download poll: the share of the image received and the speed since the
// last sample, in bytes per millisecond (shown as "kb/s"). The dialog keeps the last tick
// and byte count and moves them on only when a sample yields a positive speed.
#pragma once
#include <windows.h>

struct DownloadSample
{
    int nPercent;  // 0..100
    LONG lSpeed;   // bytes per millisecond; 0 or less means no new speed to show
    BOOL bRebase;  // the count fell below the last sample: measure anew from this one
};

// FALSE when the page must not change: the total is not known yet, or the poll falls in
// the same whole second (of GetTickCount) as the last sample.
BOOL TakeDownloadSample(DWORD dwNow, ULONGLONG ullReceived, ULONGLONG ullTotal, DWORD dwLastTick, ULONGLONG ullLastRecv,
                        DownloadSample* pSample);

// The millisecond clock of the poll (GetTickCount); tests put a stand-in in its place.
// Null puts GetTickCount back.
typedef DWORD(WINAPI* PFN_DOWNLOAD_CLOCK)();
void SetDownloadClock(PFN_DOWNLOAD_CLOCK pfnClock);
DWORD GetDownloadClock();

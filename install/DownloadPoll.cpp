#include "DownloadPoll.h"

static PFN_DOWNLOAD_CLOCK s_pfnClock = ::GetTickCount;

void SetDownloadClock(PFN_DOWNLOAD_CLOCK pfnClock) { s_pfnClock = pfnClock != NULL ? pfnClock : ::GetTickCount; }

DWORD GetDownloadClock() { return s_pfnClock(); }

BOOL TakeDownloadSample(DWORD dwNow, ULONGLONG ullReceived, ULONGLONG ullTotal, DWORD dwLastTick, ULONGLONG ullLastRecv,
                        DownloadSample* pSample)
{
    if (ullTotal == 0)
        return FALSE;
    // After GetTickCount wraps (49.7 days of uptime) the whole-second test alone would
    // hold the page still for the rest of the download.
    BOOL bWrapped = dwNow < dwLastTick;
    if (!bWrapped && dwNow / 1000 <= dwLastTick / 1000)
        return FALSE;

    // An engine that reports more bytes than the total must not draw a bar past its end.
    ULONGLONG ullPercent = ullReceived * 100 / ullTotal;
    pSample->nPercent = ullPercent > 100 ? 100 : (int)ullPercent;

    // The engine starts a file over when the server's copy changed; the unsigned
    // difference would then show a huge made-up speed.
    pSample->bRebase = ullReceived < ullLastRecv;
    if (pSample->bRebase) {
        pSample->lSpeed = 0;
        return TRUE;
    }
    // dwNow - dwLastTick is the elapsed time, also across the wrap, and never 0 here.
    pSample->lSpeed = (LONG)((ullReceived - ullLastRecv) / (ULONGLONG)(dwNow - dwLastTick));
    return TRUE;
}

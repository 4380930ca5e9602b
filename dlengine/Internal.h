// Codes and tuning values shared inside the engine (never returned to callers).
#pragma once
#include "Backoff.h"
#include "DLEngineApi.h"
#include <stdlib.h>

// Internal results beside the public DLE_ codes.
#define DLX_ABORTED (-1)  // the task is stopping: leave quietly
#define DLX_AGAIN   (-2)  // not a fault: issue the next request at once
#define DLX_RESTART (-3)  // the server's file changed: the task starts again from byte 0

namespace dl {

const int MAX_CONNECTIONS = 8;
const ULONGLONG MIN_PART = 4ull * 1024 * 1024;  // no part is split below this
const DWORD BUFFER_SIZE = 2 * 1024 * 1024;      // per connection, written in one call
const DWORD CHECKPOINT_MS = 1000;               // record written at most this often
const DWORD BUFFER_MAX_AGE_MS = 500;            // buffered bytes reach the file at least this often
const DWORD CONNECT_TIMEOUT_MS = 15 * 1000;
const DWORD IO_TIMEOUT_MS = 20 * 1000;  // no byte for this long: the connection is dead
const DWORD STOP_WAIT_MS = 1500;        // a stop or shut-down waits no longer for a task
const int MAX_REDIRECTS = 10;
const int MAX_FAILURES = 8;     // consecutive faults without progress
const int RETIRE_AFTER = 3;     // a connection that keeps failing leaves the others the work
const DWORD RESPAWN_MS = 5000;  // a retired connection's place is tried again after this
const int MAX_RESTARTS = 10;    // task-level restarts from byte 0
const DWORD BACKOFF_FIRST_MS = 250;
const DWORD BACKOFF_MAX_MS = 8000;
const char USER_AGENT[] = "Korvane-DLEngine/1.0";

// Faults that may pass (a name lookup fails too while the network is briefly down).
inline BOOL IsRetryable(LONG r)
{
    return r == DLE_CONNECT || r == DLE_NETWORK || r == DLE_HTTP_SERVER || r == DLE_PROTOCOL || r == DLE_HOST_NOT_FOUND;
}

// A server's Retry-After, honoured up to 30 s.
inline DWORD RetryAfterMs(DWORD dwRetryAfterSec)
{
    return dwRetryAfterSec > 30 ? 30000 : dwRetryAfterSec * 1000;
}

// A connection's wait before its next try: shorter steps than a mirror's, at least the
// server's Retry-After.
inline DWORD BackoffMs(int nFailures, DWORD dwRetryAfterSec)
{
    return JitteredBackoffMs(nFailures, RetryAfterMs(dwRetryAfterSec), BACKOFF_FIRST_MS, BACKOFF_MAX_MS);
}

// Decimal digits only, no sign, at most 19 of them (no overflow). FALSE otherwise.
inline BOOL ParseDecimal(const char* p, size_t cch, ULONGLONG* pv)
{
    if (cch == 0 || cch > 19)
        return FALSE;
    ULONGLONG v = 0;
    for (size_t i = 0; i < cch; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return FALSE;
        v = v * 10 + (ULONGLONG)(p[i] - '0');
    }
    *pv = v;
    return TRUE;
}

}  // namespace dl

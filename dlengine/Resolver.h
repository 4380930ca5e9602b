// CResolver: host name lookups for one task, with a small cache. Each lookup runs on a
// helper thread, so a stop never waits for a slow DNS answer: the waiter leaves, and the
// helper frees its job (and its hold on this DLL) when the answer finally comes.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include "Sync.h"

struct DLAddrList
{
    enum { MAX = 8 };
    int nCount;
    int anLen[MAX];
    SOCKADDR_STORAGE addrs[MAX];
};

class CResolver
{
public:
    CResolver();

    // DLE_OK, DLE_HOST_NOT_FOUND, DLE_CONNECT (lookup failed for now: may be retried),
    // DLE_NO_RESOURCES, or DLX_ABORTED when hStop was signalled.
    LONG Resolve(const char* pszHost, WORD wPort, HANDLE hStop, DLAddrList* pOut);
    // Drops the cached answer for the host (its addresses stopped answering).
    void Forget(const char* pszHost, WORD wPort);

private:
    enum { CACHE = 4, CACHE_MS = 5 * 60 * 1000, LOOKUP_TIMEOUT_MS = 30 * 1000 };
    struct Entry
    {
        char szHost[256];
        WORD wPort;
        DWORD dwTick;
        DLAddrList list;
    };

    CCritSec m_cs;
    Entry m_cache[CACHE];
    int m_nNext;
};

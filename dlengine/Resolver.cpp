#include "Resolver.h"
#include "Internal.h"
#include <stdio.h>
#include <string.h>

namespace {

struct ResolveJob
{
    volatile LONG lRefs;  // the waiter and the helper thread
    char szHost[256];
    char szPort[8];
    LONG lResult;
    DLAddrList list;
    HANDLE hDone;   // owned
    HMODULE hSelf;  // the helper's hold on this DLL
};

void ReleaseJob(ResolveJob* pJob)
{
    if (::InterlockedDecrement(&pJob->lRefs) == 0) {
        ::CloseHandle(pJob->hDone);
        free(pJob);
    }
}

DWORD WINAPI ResolveThread(LPVOID pv)
{
    ResolveJob* pJob = (ResolveJob*)pv;
    ADDRINFOA hints;
    ZeroMemory(&hints, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOA* pai = NULL;
    int err = ::getaddrinfo(pJob->szHost, pJob->szPort, &hints, &pai);
    if (err == 0) {
        pJob->list.nCount = 0;
        // IPv4 first: servers reached by name often listen on IPv4 only.
        for (int pass = 0; pass < 2; ++pass) {
            for (ADDRINFOA* p = pai; p != NULL && pJob->list.nCount < DLAddrList::MAX; p = p->ai_next) {
                if ((pass == 0) != (p->ai_family == AF_INET) || p->ai_addrlen > sizeof(SOCKADDR_STORAGE))
                    continue;
                memcpy(&pJob->list.addrs[pJob->list.nCount], p->ai_addr, p->ai_addrlen);
                pJob->list.anLen[pJob->list.nCount] = (int)p->ai_addrlen;
                ++pJob->list.nCount;
            }
        }
        ::freeaddrinfo(pai);
        pJob->lResult = pJob->list.nCount ? DLE_OK : DLE_HOST_NOT_FOUND;
    } else {
        pJob->lResult = (err == WSAHOST_NOT_FOUND || err == WSANO_DATA) ? DLE_HOST_NOT_FOUND : DLE_CONNECT;
    }
    ::SetEvent(pJob->hDone);
    HMODULE hSelf = pJob->hSelf;
    ReleaseJob(pJob);
    ::FreeLibraryAndExitThread(hSelf, 0);
    return 0;
}

}  // namespace

CResolver::CResolver() : m_nNext(0) { ZeroMemory(m_cache, sizeof(m_cache)); }

void CResolver::Forget(const char* pszHost, WORD wPort)
{
    CAutoLock lock(m_cs);
    for (int i = 0; i < CACHE; ++i) {
        if (m_cache[i].wPort == wPort && lstrcmpiA(m_cache[i].szHost, pszHost) == 0)
            m_cache[i].szHost[0] = '\0';
    }
}

LONG CResolver::Resolve(const char* pszHost, WORD wPort, HANDLE hStop, DLAddrList* pOut)
{
    {
        CAutoLock lock(m_cs);
        for (int i = 0; i < CACHE; ++i) {
            Entry& e = m_cache[i];
            if (e.szHost[0] != '\0' && e.wPort == wPort && lstrcmpiA(e.szHost, pszHost) == 0 &&
                TicksSince(e.dwTick) < CACHE_MS) {
                *pOut = e.list;
                return DLE_OK;
            }
        }
    }

    ResolveJob* pJob = (ResolveJob*)calloc(1, sizeof(ResolveJob));
    if (pJob == NULL)
        return DLE_NO_RESOURCES;
    pJob->lRefs = 2;
    lstrcpynA(pJob->szHost, pszHost, sizeof(pJob->szHost));
    _snprintf(pJob->szPort, sizeof(pJob->szPort), "%u", (unsigned)wPort);
    pJob->szPort[sizeof(pJob->szPort) - 1] = '\0';
    pJob->hDone = ::CreateEventW(NULL, TRUE, FALSE, NULL);
    if (pJob->hDone == NULL ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCWSTR)(void*)&ResolveThread, &pJob->hSelf)) {
        if (pJob->hDone != NULL)
            ::CloseHandle(pJob->hDone);
        free(pJob);
        return DLE_NO_RESOURCES;
    }
    HANDLE hThread = ::CreateThread(NULL, 64 * 1024, ResolveThread, pJob, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (hThread == NULL) {
        ::FreeLibrary(pJob->hSelf);
        ::CloseHandle(pJob->hDone);
        free(pJob);
        return DLE_NO_RESOURCES;
    }
    ::CloseHandle(hThread);

    HANDLE waits[2] = { pJob->hDone, hStop };
    DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, LOOKUP_TIMEOUT_MS);
    LONG r;
    if (w == WAIT_OBJECT_0) {
        r = pJob->lResult;
        if (r == DLE_OK) {
            *pOut = pJob->list;
            CAutoLock lock(m_cs);
            Entry& e = m_cache[m_nNext];
            m_nNext = (m_nNext + 1) % CACHE;
            lstrcpynA(e.szHost, pszHost, sizeof(e.szHost));
            e.wPort = wPort;
            e.dwTick = ::GetTickCount();
            e.list = pJob->list;
        }
    } else {
        r = (w == WAIT_OBJECT_0 + 1) ? DLX_ABORTED : DLE_CONNECT;
    }
    ReleaseJob(pJob);
    return r;
}

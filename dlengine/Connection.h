// CConnection: what one thread of a task uses to talk to servers. Picks the transport for
// each address (the engine's own client for plain http://, WinHTTP for https:// or when a
// system proxy applies), follows redirects (bounded) and keeps each transport for reuse.
#pragma once
#include "Resolver.h"
#include "Transport.h"

class CSocketTransport;
class CWinHttpTransport;

// What a task lends its connections.
class INetEnv
{
public:
    virtual ~INetEnv() {}
    virtual CResolver* Resolver() = 0;
    virtual HANDLE StopEvent() = 0;
    virtual BOOL UseWinHttpForPlain() = 0;
    // The task's WinHTTP session, opened on first use; null when it cannot be opened.
    virtual void* WinHttpSession() = 0;
};

class CConnection
{
public:
    explicit CConnection(INetEnv* pEnv);
    ~CConnection();

    // Sends the request to *pUrl and follows redirects; *pUrl becomes the address that
    // answered. The head is that of the final, non-redirect response, its range framing
    // checked. When *pUrl is a redirect target remembered from pOrigin (may be null) and it
    // refuses (401/403/404/410: a signed address that expired), pOrigin is asked once more.
    LONG Open(CUrl* pUrl, const DLRequest& req, CHttpHead* pHead, const CUrl* pOrigin);
    LONG Read(BYTE* p, DWORD cb, DWORD* pcb);
    void Finish();
    void Close();

private:
    CTransport* TransportFor(const CUrl& url);
    LONG Follow(CUrl* pUrl, const DLRequest& req, CHttpHead* pHead);

    INetEnv* m_pEnv;                // not owned
    CSocketTransport* m_pSocket;    // owned
    CWinHttpTransport* m_pWinHttp;  // owned
    CTransport* m_pCurrent;         // not owned: one of the two
};

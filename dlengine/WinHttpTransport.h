// CWinHttpTransport: HTTP through WinHTTP, for https:// addresses and for any address when
// the system has a proxy. Runs WinHTTP asynchronously so that every wait can also watch the
// task's stop event; the request handle is closed on the calling thread, never from another.
#pragma once
#include "Transport.h"
#include <winhttp.h>

class CWinHttpTransport : public CTransport
{
public:
    CWinHttpTransport(HINTERNET hSession, HANDLE hStop);
    virtual ~CWinHttpTransport();

    virtual LONG Request(const DLRequest& req, CHttpHead* pHead);
    virtual LONG Read(BYTE* p, DWORD cb, DWORD* pcb);
    virtual void FinishResponse();
    virtual void Close();
    virtual BOOL WasReused() const { return FALSE; }  // WinHTTP retries stale connections itself

    // TRUE when WinHTTP never confirmed closing a request: callbacks may still arrive, so the
    // object must stay allocated.
    BOOL IsAbandoned() const { return m_bAbandoned; }

    // Opens the asynchronous session a task's transports share (proxy may be null).
    static HINTERNET OpenSession(LPCWSTR pszProxy, LPCWSTR pszBypass);

private:
    enum { READ_SIZE = 256 * 1024 };

    static void CALLBACK Callback(HINTERNET h, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pvInfo, DWORD cbInfo);
    LONG Await();
    void CloseRequest();
    LONG ConnectTo(const CUrl& url);
    LONG SendRequest(const DLRequest& req);
    LONG ReceiveHead(CHttpHead* pHead);
    LONG QueryHeads(CHttpHead* pHead);
    static LONG MapError(DWORD dwError);

    HINTERNET m_hSession;  // not owned
    HANDLE m_hStop;        // not owned
    HINTERNET m_hConnect;  // owned
    HINTERNET m_hRequest;  // owned
    char m_szHost[CUrl::MAX_HOST + 1];
    WORD m_wPort;
    HANDLE m_hDone;          // owned: an asynchronous call completed
    HANDLE m_hClosed;        // owned: the request handle is gone
    volatile LONG m_lError;  // Win32 error of the last completion, 0 on success
    volatile DWORD m_cbRead;
    BYTE* m_pBuf;  // owned: WinHTTP writes into it while a read is pending
    DWORD m_cbBufPos;
    DWORD m_cbBufEnd;
    BOOL m_bBodyDone;
    BOOL m_bAbandoned;
};

// CTransport: one HTTP connection as a connection thread sees it: send a GET (optionally
// for a byte range), read the response head, stream the body, and keep the connection for
// the next request when that is possible. Implemented over Winsock (CSocketTransport) and
// over WinHTTP (CWinHttpTransport, for https:// and for the system proxy).
#pragma once
#include <windows.h>
#include "HttpHead.h"
#include "Url.h"

struct DLRequest
{
    const CUrl* pUrl;  // not owned
    BOOL bRange;
    ULONGLONG ullFirst;
    ULONGLONG ullLast;        // inclusive; ignored when bOpenEnded
    BOOL bOpenEnded;          // "bytes=first-"
    const char* pszReferrer;  // not owned; sanitised UTF-8, may be null
};

class CTransport
{
public:
    virtual ~CTransport() {}

    // Sends the request and reads the final response head (1xx answers skipped).
    // DLE_OK, an error code, or DLX_ABORTED when the stop event was signalled.
    virtual LONG Request(const DLRequest& req, CHttpHead* pHead) = 0;
    // Reads up to cb body bytes; *pcb = 0 at the end of the body.
    virtual LONG Read(BYTE* p, DWORD cb, DWORD* pcb) = 0;
    // Ends the current response: the connection stays for another request only when the
    // body was read to its end (or its small rest could be skipped).
    virtual void FinishResponse() = 0;
    virtual void Close() = 0;
    // TRUE while a reused connection has not yet produced a byte of this response: a
    // failure then is a stale keep-alive connection, not a server fault.
    virtual BOOL WasReused() const = 0;
};

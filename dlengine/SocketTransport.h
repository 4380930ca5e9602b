// CSocketTransport: the engine's own HTTP/1.1 client over Winsock for plain http:// —
// keep-alive, ranges, Content-Length, chunked and close-delimited bodies, time-outs on
// every wait, and an instant stop through the task's stop event. Body bytes go straight
// from the socket into the caller's buffer wherever the framing allows.
#pragma once
#include "Resolver.h"
#include "Transport.h"

class CSocketTransport : public CTransport
{
public:
    CSocketTransport(CResolver* pResolver, HANDLE hStop);
    virtual ~CSocketTransport();

    virtual LONG Request(const DLRequest& req, CHttpHead* pHead);
    virtual LONG Read(BYTE* p, DWORD cb, DWORD* pcb);
    virtual void FinishResponse();
    virtual void Close();
    virtual BOOL WasReused() const { return m_bReused && !m_bGotResponseByte; }

private:
    enum { IN_SIZE = 64 * 1024, MAX_HEAD = 60 * 1024, DRAIN_LIMIT = 64 * 1024 };
    enum Body { BODY_NONE, BODY_LENGTH, BODY_CHUNKED, BODY_CLOSE };
    enum Chunk { CH_SIZE, CH_DATA, CH_DATA_END, CH_TRAILER, CH_DONE };

    LONG Connect(const CUrl& url);
    LONG SendAll(const char* p, int cb);
    LONG RecvSome(char* p, int cb, int* pcb);  // *pcb = 0 at end of stream
    LONG WaitFor(long lEvents, DWORD dwDeadline);
    LONG FillIn();  // more bytes into m_pIn; DLE_NETWORK at EOF
    LONG ReadHead(CHttpHead* pHead);
    LONG ReadBodyBytes(BYTE* p, DWORD want, DWORD* pcb);  // buffered bytes first, else recv
    LONG ReadChunked(BYTE* p, DWORD cb, DWORD* pcb);
    LONG ReadChunkLine();
    LONG ReadChunkData(BYTE* p, DWORD cb, DWORD* pcb);
    LONG SkipChunkEnd();
    LONG BuildRequest(const DLRequest& req, int* pcb);
    DWORD InAvail() const { return m_cbInEnd - m_cbInPos; }

    CResolver* m_pResolver;  // not owned
    HANDLE m_hStop;          // not owned
    SOCKET m_s;
    WSAEVENT m_hEvent;  // owned
    char m_szHost[CUrl::MAX_HOST + 1];
    WORD m_wPort;
    BOOL m_bReused;
    BOOL m_bGotResponseByte;
    BOOL m_bKeepAlive;  // the current response lets the connection be reused
    char* m_pIn;        // owned: bytes received but not yet consumed
    DWORD m_cbInPos;
    DWORD m_cbInEnd;
    char* m_pOut;  // owned: request text
    Body m_body;
    ULONGLONG m_ullRemain;  // BODY_LENGTH: bytes left; BODY_CHUNKED: left in this chunk
    Chunk m_chunk;
    BOOL m_bBodyDone;
};

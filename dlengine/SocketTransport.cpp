#include "SocketTransport.h"
#include "Internal.h"
#include <stdio.h>
#include <string.h>

using namespace dl;

static const DWORD kOutSize = 24 * 1024;

CSocketTransport::CSocketTransport(CResolver* pResolver, HANDLE hStop)
    : m_pResolver(pResolver), m_hStop(hStop), m_s(INVALID_SOCKET), m_wPort(0), m_bReused(FALSE),
      m_bGotResponseByte(FALSE), m_bKeepAlive(FALSE), m_cbInPos(0), m_cbInEnd(0), m_body(BODY_NONE), m_ullRemain(0),
      m_chunk(CH_SIZE), m_bBodyDone(TRUE)
{
    m_szHost[0] = '\0';
    m_hEvent = ::WSACreateEvent();
    m_pIn = (char*)malloc(IN_SIZE);
    m_pOut = (char*)malloc(kOutSize);
}

CSocketTransport::~CSocketTransport()
{
    Close();
    if (m_hEvent != WSA_INVALID_EVENT)
        ::WSACloseEvent(m_hEvent);
    free(m_pIn);
    free(m_pOut);
}

void CSocketTransport::Close()
{
    if (m_s != INVALID_SOCKET) {
        ::closesocket(m_s);
        m_s = INVALID_SOCKET;
    }
    m_szHost[0] = '\0';
    m_cbInPos = m_cbInEnd = 0;
    m_bBodyDone = TRUE;
    m_bKeepAlive = FALSE;
}

LONG CSocketTransport::WaitFor(long lEvents, DWORD dwDeadline)
{
    for (;;) {
        LONG left = (LONG)(dwDeadline - ::GetTickCount());
        if (left <= 0)
            return DLE_NETWORK;
        HANDLE waits[2] = { m_hStop, m_hEvent };
        DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, (DWORD)left);
        if (w == WAIT_OBJECT_0)
            return DLX_ABORTED;
        if (w == WAIT_TIMEOUT)
            return DLE_NETWORK;
        if (w != WAIT_OBJECT_0 + 1)
            return DLE_NETWORK;
        WSANETWORKEVENTS ne;
        if (::WSAEnumNetworkEvents(m_s, m_hEvent, &ne) != 0)
            return DLE_NETWORK;
        if (ne.lNetworkEvents & (lEvents | FD_CLOSE))
            return DLE_OK;
    }
}

LONG CSocketTransport::Connect(const CUrl& url)
{
    if (m_s != INVALID_SOCKET && m_bBodyDone && m_bKeepAlive && m_wPort == url.Port() &&
        lstrcmpiA(m_szHost, url.Host()) == 0) {
        m_bReused = TRUE;
        return DLE_OK;
    }
    Close();
    if (m_hEvent == WSA_INVALID_EVENT || m_pIn == NULL || m_pOut == NULL)
        return DLE_NO_RESOURCES;
    DLAddrList list;
    LONG r = m_pResolver->Resolve(url.Host(), url.Port(), m_hStop, &list);
    if (r != DLE_OK)
        return r;

    r = DLE_CONNECT;
    for (int i = 0; i < list.nCount && m_s == INVALID_SOCKET; ++i) {
        SOCKET s = ::socket(list.addrs[i].ss_family, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET)
            continue;
        m_s = s;  // WaitFor and Close work on m_s
        BOOL bConnected = FALSE;
        if (::WSAEventSelect(s, m_hEvent, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == 0) {
            if (::connect(s, (const sockaddr*)&list.addrs[i], list.anLen[i]) == 0) {
                bConnected = TRUE;
            } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
                DWORD deadline = ::GetTickCount() + CONNECT_TIMEOUT_MS;
                for (;;) {
                    LONG left = (LONG)(deadline - ::GetTickCount());
                    if (left <= 0)
                        break;
                    HANDLE waits[2] = { m_hStop, m_hEvent };
                    DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, (DWORD)left);
                    if (w == WAIT_OBJECT_0) {
                        r = DLX_ABORTED;
                        break;
                    }
                    if (w != WAIT_OBJECT_0 + 1)
                        break;
                    WSANETWORKEVENTS ne;
                    if (::WSAEnumNetworkEvents(s, m_hEvent, &ne) != 0)
                        break;
                    if (ne.lNetworkEvents & FD_CONNECT) {
                        bConnected = ne.iErrorCode[FD_CONNECT_BIT] == 0;
                        break;
                    }
                }
            }
        }
        if (!bConnected) {
            ::closesocket(s);
            m_s = INVALID_SOCKET;
            if (r == DLX_ABORTED)
                return r;
        }
    }
    if (m_s == INVALID_SOCKET) {
        m_pResolver->Forget(url.Host(), url.Port());
        return r;
    }
    BOOL bNoDelay = TRUE;
    ::setsockopt(m_s, IPPROTO_TCP, TCP_NODELAY, (const char*)&bNoDelay, sizeof(bNoDelay));
    lstrcpynA(m_szHost, url.Host(), sizeof(m_szHost));
    m_wPort = url.Port();
    m_bReused = FALSE;
    return DLE_OK;
}

LONG CSocketTransport::SendAll(const char* p, int cb)
{
    DWORD deadline = ::GetTickCount() + IO_TIMEOUT_MS;
    while (cb > 0) {
        int n = ::send(m_s, p, cb, 0);
        if (n > 0) {
            p += n;
            cb -= n;
            continue;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return DLE_NETWORK;
        LONG r = WaitFor(FD_WRITE, deadline);
        if (r != DLE_OK)
            return r;
    }
    return DLE_OK;
}

LONG CSocketTransport::RecvSome(char* p, int cb, int* pcb)
{
    DWORD deadline = ::GetTickCount() + IO_TIMEOUT_MS;
    for (;;) {
        int n = ::recv(m_s, p, cb, 0);
        if (n >= 0) {
            *pcb = n;
            if (n > 0)
                m_bGotResponseByte = TRUE;
            return DLE_OK;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return DLE_NETWORK;
        LONG r = WaitFor(FD_READ, deadline);
        if (r != DLE_OK)
            return r;
    }
}

LONG CSocketTransport::FillIn()
{
    if (m_cbInPos != 0) {
        memmove(m_pIn, m_pIn + m_cbInPos, InAvail());
        m_cbInEnd -= m_cbInPos;
        m_cbInPos = 0;
    }
    if (m_cbInEnd == IN_SIZE)
        return DLE_PROTOCOL;
    int n = 0;
    LONG r = RecvSome(m_pIn + m_cbInEnd, (int)(IN_SIZE - m_cbInEnd), &n);
    if (r != DLE_OK)
        return r;
    if (n == 0)
        return DLE_NETWORK;  // closed in the middle of a head or chunk line
    m_cbInEnd += (DWORD)n;
    return DLE_OK;
}

LONG CSocketTransport::ReadHead(CHttpHead* pHead)
{
    for (;;) {
        const char* p = m_pIn + m_cbInPos;
        DWORD avail = InAvail();
        DWORD cbHead = 0;
        for (DWORD i = 0; i + 1 < avail; ++i) {
            if (p[i] != '\n')
                continue;
            if (p[i + 1] == '\n') {
                cbHead = i + 2;
                break;
            }
            if (p[i + 1] == '\r' && i + 2 < avail && p[i + 2] == '\n') {
                cbHead = i + 3;
                break;
            }
        }
        if (cbHead == 0) {
            if (avail >= MAX_HEAD)
                return DLE_PROTOCOL;
            LONG r = FillIn();
            if (r != DLE_OK)
                return r;
            continue;
        }
        LONG r = pHead->Parse(p, cbHead);
        m_cbInPos += cbHead;
        if (r != DLE_OK)
            return r;
        if (pHead->nStatus >= 100 && pHead->nStatus < 200)
            continue;  // 100 Continue and other interim answers
        return DLE_OK;
    }
}

// Control characters and bytes outside ASCII never reach a request line or field.
static void AppendSafe(char* dst, size_t cchDst, size_t* po, const char* src)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t o = *po;
    for (; *src && o + 4 < cchDst; ++src) {
        unsigned char c = (unsigned char)*src;
        if (c < 0x21 || c >= 0x7F) {
            dst[o++] = '%';
            dst[o++] = kHex[c >> 4];
            dst[o++] = kHex[c & 15];
        } else {
            dst[o++] = (char)c;
        }
    }
    dst[o] = '\0';
    *po = o;
}

LONG CSocketTransport::BuildRequest(const DLRequest& req, int* pcb)
{
    char szHost[CUrl::MAX_HOST + 16];
    req.pUrl->HostHeader(szHost, sizeof(szHost));
    int n = _snprintf(m_pOut, kOutSize,
                      "GET %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: %s\r\nAccept: */*\r\nAccept-Encoding: identity\r\n",
                      req.pUrl->Target(), szHost, USER_AGENT);
    if (n < 0)
        return DLE_TOO_LONG;
    size_t o = (size_t)n;
    if (req.bRange) {
        n = req.bOpenEnded
                ? _snprintf(m_pOut + o, kOutSize - o, "Range: bytes=%I64u-\r\n", req.ullFirst)
                : _snprintf(m_pOut + o, kOutSize - o, "Range: bytes=%I64u-%I64u\r\n", req.ullFirst, req.ullLast);
        if (n < 0)
            return DLE_TOO_LONG;
        o += (size_t)n;
    }
    if (req.pszReferrer != NULL && req.pszReferrer[0] != '\0' && o + 16 < kOutSize) {
        memcpy(m_pOut + o, "Referer: ", 9);
        o += 9;
        AppendSafe(m_pOut, kOutSize - 64, &o, req.pszReferrer);
        memcpy(m_pOut + o, "\r\n", 2);
        o += 2;
    }
    static const char kTail[] = "Connection: keep-alive\r\n\r\n";
    if (o + sizeof(kTail) > kOutSize)
        return DLE_TOO_LONG;
    memcpy(m_pOut + o, kTail, sizeof(kTail));
    *pcb = (int)(o + sizeof(kTail) - 1);
    return DLE_OK;
}

LONG CSocketTransport::Request(const DLRequest& req, CHttpHead* pHead)
{
    LONG r = DLE_NETWORK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        r = Connect(*req.pUrl);
        if (r != DLE_OK)
            return r;
        m_bGotResponseByte = FALSE;
        m_cbInPos = m_cbInEnd = 0;
        int cb = 0;
        r = BuildRequest(req, &cb);
        if (r != DLE_OK)
            return r;
        r = SendAll(m_pOut, cb);
        if (r == DLE_OK)
            r = ReadHead(pHead);
        if (r == DLE_OK)
            break;
        BOOL bStale = m_bReused && !m_bGotResponseByte && r != DLX_ABORTED;
        Close();
        if (!bStale)
            return r;
        // The server had closed the idle keep-alive connection: one fresh try.
    }
    if (r != DLE_OK)
        return r;

    m_bKeepAlive = !pHead->bClose;
    m_bBodyDone = FALSE;
    m_ullRemain = 0;
    if (pHead->nStatus == 204 || pHead->nStatus == 304) {
        m_body = BODY_NONE;
        m_bBodyDone = TRUE;
    } else if (pHead->bChunked) {
        m_body = BODY_CHUNKED;
        m_chunk = CH_SIZE;
    } else if (pHead->llContentLength >= 0) {
        m_body = BODY_LENGTH;
        m_ullRemain = (ULONGLONG)pHead->llContentLength;
        m_bBodyDone = m_ullRemain == 0;
    } else {
        m_body = BODY_CLOSE;
        m_bKeepAlive = FALSE;
    }
    return DLE_OK;
}

LONG CSocketTransport::Read(BYTE* p, DWORD cb, DWORD* pcb)
{
    *pcb = 0;
    if (m_bBodyDone || cb == 0)
        return DLE_OK;
    if (m_body == BODY_CHUNKED)
        return ReadChunked(p, cb, pcb);

    DWORD want = cb;
    if (m_body == BODY_LENGTH && m_ullRemain < want)
        want = (DWORD)m_ullRemain;
    DWORD n = 0;
    LONG r = ReadBodyBytes(p, want, &n);
    if (r != DLE_OK)
        return r;
    if (n == 0) {
        if (m_body == BODY_LENGTH)
            return DLE_NETWORK;  // the body ended before its length
        m_bBodyDone = TRUE;
        m_bKeepAlive = FALSE;
        return DLE_OK;
    }
    if (m_body == BODY_LENGTH) {
        m_ullRemain -= n;
        if (m_ullRemain == 0)
            m_bBodyDone = TRUE;
    }
    *pcb = n;
    return DLE_OK;
}

// Body bytes from what is already buffered, else straight from the socket into p; *pcb = 0
// when the server closed the connection.
LONG CSocketTransport::ReadBodyBytes(BYTE* p, DWORD want, DWORD* pcb)
{
    *pcb = 0;
    if (InAvail() != 0) {
        DWORD n = InAvail() < want ? InAvail() : want;
        memcpy(p, m_pIn + m_cbInPos, n);
        m_cbInPos += n;
        *pcb = n;
        return DLE_OK;
    }
    int got = 0;
    LONG r = RecvSome((char*)p, (int)want, &got);
    if (r == DLE_OK)
        *pcb = (DWORD)got;
    return r;
}

LONG CSocketTransport::ReadChunked(BYTE* p, DWORD cb, DWORD* pcb)
{
    for (;;) {
        LONG r;
        switch (m_chunk) {
        case CH_SIZE:
        case CH_TRAILER:
            r = ReadChunkLine();
            break;
        case CH_DATA:
            return ReadChunkData(p, cb, pcb);
        case CH_DATA_END:
            r = SkipChunkEnd();
            break;
        default:  // CH_DONE
            m_bBodyDone = TRUE;
            return DLE_OK;
        }
        if (r != DLE_OK)
            return r;
    }
}

// Hexadecimal digits (at most 15), then the end of the line or an extension.
static LONG ParseChunkSize(const char* pLine, DWORD cchLine, ULONGLONG* pullSize)
{
    ULONGLONG size = 0;
    DWORD i = 0;
    for (; i < cchLine; ++i) {
        char c = pLine[i];
        int v = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (v < 0)
            break;
        if (i >= 15)
            return DLE_PROTOCOL;
        size = size * 16 + (ULONGLONG)v;
    }
    if (i == 0 || (i < cchLine && pLine[i] != ';' && pLine[i] != ' ' && pLine[i] != '\t'))
        return DLE_PROTOCOL;
    *pullSize = size;
    return DLE_OK;
}

// A chunk-size line or a trailer line, once it is whole; the state after it.
LONG CSocketTransport::ReadChunkLine()
{
    const char* in = m_pIn + m_cbInPos;
    DWORD avail = InAvail();
    const char* eol = (const char*)memchr(in, '\n', avail);
    if (eol == NULL)
        return avail > 8192 ? DLE_PROTOCOL : FillIn();
    DWORD cchLine = (DWORD)(eol - in);
    m_cbInPos += cchLine + 1;
    if (cchLine != 0 && in[cchLine - 1] == '\r')
        --cchLine;
    if (m_chunk == CH_TRAILER) {
        // Trailer fields are not used; the blank line ends the body.
        if (cchLine == 0) {
            m_chunk = CH_DONE;
            m_bBodyDone = TRUE;
        }
        return DLE_OK;
    }
    ULONGLONG size = 0;
    LONG r = ParseChunkSize(in, cchLine, &size);
    if (r != DLE_OK)
        return r;
    if (size == 0) {
        m_chunk = CH_TRAILER;
    } else {
        m_chunk = CH_DATA;
        m_ullRemain = size;
    }
    return DLE_OK;
}

LONG CSocketTransport::ReadChunkData(BYTE* p, DWORD cb, DWORD* pcb)
{
    DWORD want = m_ullRemain < cb ? (DWORD)m_ullRemain : cb;
    DWORD n = 0;
    LONG r = ReadBodyBytes(p, want, &n);
    if (r != DLE_OK)
        return r;
    if (n == 0)
        return DLE_NETWORK;  // closed inside a chunk
    m_ullRemain -= n;
    if (m_ullRemain == 0)
        m_chunk = CH_DATA_END;
    *pcb = n;
    return DLE_OK;
}

// The line break after a chunk's data.
LONG CSocketTransport::SkipChunkEnd()
{
    const char* in = m_pIn + m_cbInPos;
    DWORD avail = InAvail();
    if (avail < 2) {
        if (avail == 1 && in[0] == '\n') {
            ++m_cbInPos;
            m_chunk = CH_SIZE;
            return DLE_OK;
        }
        return FillIn();
    }
    if (in[0] == '\r' && in[1] == '\n')
        m_cbInPos += 2;
    else if (in[0] == '\n')
        m_cbInPos += 1;
    else
        return DLE_PROTOCOL;
    m_chunk = CH_SIZE;
    return DLE_OK;
}

void CSocketTransport::FinishResponse()
{
    if (m_s == INVALID_SOCKET)
        return;
    if (!m_bBodyDone && m_bKeepAlive && m_body == BODY_LENGTH && m_ullRemain <= DRAIN_LIMIT) {
        // A small rest costs less to read than a new connection.
        BYTE scratch[8192];
        DWORD n = 1;
        while (!m_bBodyDone && n != 0) {
            if (Read(scratch, sizeof(scratch), &n) != DLE_OK) {
                Close();
                return;
            }
        }
    }
    if (!m_bBodyDone || !m_bKeepAlive || InAvail() != 0)
        Close();
}

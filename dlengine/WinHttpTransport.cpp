#include "WinHttpTransport.h"
#include "Internal.h"
#include <stdio.h>
#include <string.h>

using namespace dl;

static const DWORD kCallbackFlags = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;
static const DWORD kAwaitSlackMs = 10 * 1000;  // beyond WinHTTP's own time-outs

HINTERNET CWinHttpTransport::OpenSession(LPCWSTR pszProxy, LPCWSTR pszBypass)
{
    WCHAR szAgent[64];
    ::MultiByteToWideChar(CP_ACP, 0, USER_AGENT, -1, szAgent, 64);
    BOOL bProxy = pszProxy != NULL && pszProxy[0] != L'\0';
    HINTERNET h =
        ::WinHttpOpen(szAgent, bProxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                      bProxy ? pszProxy : WINHTTP_NO_PROXY_NAME,
                      (bProxy && pszBypass != NULL && pszBypass[0] != L'\0') ? pszBypass : WINHTTP_NO_PROXY_BYPASS,
                      WINHTTP_FLAG_ASYNC);
    if (h == NULL)
        return NULL;
    ::WinHttpSetTimeouts(h, 0, CONNECT_TIMEOUT_MS, IO_TIMEOUT_MS, IO_TIMEOUT_MS);
    if (::WinHttpSetStatusCallback(h, Callback, kCallbackFlags, 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        ::WinHttpCloseHandle(h);
        return NULL;
    }
    return h;
}

CWinHttpTransport::CWinHttpTransport(HINTERNET hSession, HANDLE hStop)
    : m_hSession(hSession), m_hStop(hStop), m_hConnect(NULL), m_hRequest(NULL), m_wPort(0), m_lError(0), m_cbRead(0),
      m_cbBufPos(0), m_cbBufEnd(0), m_bBodyDone(TRUE), m_bAbandoned(FALSE)
{
    m_szHost[0] = '\0';
    m_hDone = ::CreateEventW(NULL, FALSE, FALSE, NULL);
    m_hClosed = ::CreateEventW(NULL, FALSE, FALSE, NULL);
    m_pBuf = (BYTE*)malloc(READ_SIZE);
}

CWinHttpTransport::~CWinHttpTransport()
{
    Close();
    if (m_hDone != NULL)
        ::CloseHandle(m_hDone);
    if (m_hClosed != NULL)
        ::CloseHandle(m_hClosed);
    free(m_pBuf);
}

void CALLBACK CWinHttpTransport::Callback(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pvInfo, DWORD cbInfo)
{
    CWinHttpTransport* pThis = (CWinHttpTransport*)dwContext;
    if (pThis == NULL)
        return;  // the session's and connections' own notices
    switch (dwStatus) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        pThis->m_lError = 0;
        ::SetEvent(pThis->m_hDone);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        pThis->m_cbRead = cbInfo;
        pThis->m_lError = 0;
        ::SetEvent(pThis->m_hDone);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
        const WINHTTP_ASYNC_RESULT* pResult = (const WINHTTP_ASYNC_RESULT*)pvInfo;
        pThis->m_lError =
            pResult != NULL && pResult->dwError != 0 ? (LONG)pResult->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
        ::SetEvent(pThis->m_hDone);
        break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        ::SetEvent(pThis->m_hClosed);
        break;
    default:
        break;
    }
}

LONG CWinHttpTransport::MapError(DWORD dwError)
{
    switch (dwError) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return DLE_HOST_NOT_FOUND;
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return DLE_CONNECT;
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return DLX_ABORTED;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case ERROR_WINHTTP_HEADER_NOT_FOUND:
        return DLE_PROTOCOL;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return DLE_SECURE;
    case ERROR_NOT_ENOUGH_MEMORY:
        return DLE_NO_RESOURCES;
    default:
        return DLE_NETWORK;
    }
}

LONG CWinHttpTransport::Await()
{
    HANDLE waits[2] = { m_hStop, m_hDone };
    DWORD w = ::WaitForMultipleObjects(2, waits, FALSE, IO_TIMEOUT_MS + kAwaitSlackMs);
    if (w == WAIT_OBJECT_0 + 1)
        return m_lError == 0 ? DLE_OK : MapError((DWORD)m_lError);
    CloseRequest();
    return w == WAIT_OBJECT_0 ? DLX_ABORTED : DLE_NETWORK;
}

void CWinHttpTransport::CloseRequest()
{
    if (m_hRequest == NULL)
        return;
    ::ResetEvent(m_hClosed);
    ::WinHttpCloseHandle(m_hRequest);
    m_hRequest = NULL;
    // Callbacks for the request end with HANDLE_CLOSING; until then this object must live.
    if (::WaitForSingleObject(m_hClosed, 10 * 1000) != WAIT_OBJECT_0)
        m_bAbandoned = TRUE;
    m_bBodyDone = TRUE;
    m_cbBufPos = m_cbBufEnd = 0;
}

void CWinHttpTransport::Close()
{
    CloseRequest();
    if (m_hConnect != NULL) {
        ::WinHttpCloseHandle(m_hConnect);
        m_hConnect = NULL;
    }
    m_szHost[0] = '\0';
}

static void Widen(const char* psz, LPWSTR pszOut, int cch)
{
    int n = ::MultiByteToWideChar(CP_UTF8, 0, psz, -1, pszOut, cch);
    if (n <= 0)
        pszOut[0] = L'\0';
    pszOut[cch - 1] = L'\0';
}

LONG CWinHttpTransport::QueryHeads(CHttpHead* pHead)
{
    pHead->Reset();
    DWORD dwStatus = 0;
    DWORD cb = sizeof(dwStatus);
    if (!::WinHttpQueryHeaders(m_hRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &dwStatus, &cb, WINHTTP_NO_HEADER_INDEX))
        return DLE_PROTOCOL;
    pHead->nStatus = (int)dwStatus;
    pHead->bHttp11 = TRUE;

    static const struct
    {
        DWORD dwQuery;
        const char* pszName;
    } kFields[] = {
        { WINHTTP_QUERY_CONTENT_LENGTH, "Content-Length" },
        { WINHTTP_QUERY_CONTENT_RANGE, "Content-Range" },
        { WINHTTP_QUERY_ETAG, "ETag" },
        { WINHTTP_QUERY_LAST_MODIFIED, "Last-Modified" },
        { WINHTTP_QUERY_LOCATION, "Location" },
        { WINHTTP_QUERY_RETRY_AFTER, "Retry-After" },
        { WINHTTP_QUERY_CONTENT_ENCODING, "Content-Encoding" },
    };
    WCHAR szValue[CHttpHead::MAX_LOCATION + 1];
    char szNarrow[(CHttpHead::MAX_LOCATION + 1) * 3];
    for (size_t i = 0; i < sizeof(kFields) / sizeof(kFields[0]); ++i) {
        cb = sizeof(szValue) - sizeof(WCHAR);
        if (!::WinHttpQueryHeaders(m_hRequest, kFields[i].dwQuery, WINHTTP_HEADER_NAME_BY_INDEX, szValue, &cb,
                                   WINHTTP_NO_HEADER_INDEX))
            continue;
        szValue[cb / sizeof(WCHAR)] = L'\0';
        int n = ::WideCharToMultiByte(CP_UTF8, 0, szValue, -1, szNarrow, sizeof(szNarrow), NULL, NULL);
        if (n <= 0)
            continue;
        LONG r = pHead->ApplyField(kFields[i].pszName, strlen(kFields[i].pszName), szNarrow, strlen(szNarrow));
        if (r != DLE_OK)
            return r;
    }
    return DLE_OK;
}

LONG CWinHttpTransport::Request(const DLRequest& req, CHttpHead* pHead)
{
    if (m_hDone == NULL || m_hClosed == NULL || m_pBuf == NULL || m_hSession == NULL)
        return DLE_NO_RESOURCES;
    CloseRequest();
    LONG r = ConnectTo(*req.pUrl);
    if (r != DLE_OK)
        return r;
    r = SendRequest(req);
    if (r == DLE_OK)
        r = ReceiveHead(pHead);
    if (r != DLE_OK)
        CloseRequest();
    m_bBodyDone = r != DLE_OK || pHead->nStatus == 204 || pHead->nStatus == 304;
    m_cbBufPos = m_cbBufEnd = 0;
    return r;
}

// The connection handle for the address's host and port, kept while they stay the same.
LONG CWinHttpTransport::ConnectTo(const CUrl& url)
{
    if (m_hConnect != NULL && (m_wPort != url.Port() || lstrcmpiA(m_szHost, url.Host()) != 0))
        Close();
    if (m_hConnect != NULL)
        return DLE_OK;
    WCHAR szHost[CUrl::MAX_HOST + 1];
    Widen(url.Host(), szHost, CUrl::MAX_HOST + 1);
    m_hConnect = ::WinHttpConnect(m_hSession, szHost, url.Port(), 0);
    if (m_hConnect == NULL)
        return MapError(::GetLastError());
    lstrcpynA(m_szHost, url.Host(), sizeof(m_szHost));
    m_wPort = url.Port();
    return DLE_OK;
}

// The request's own header lines: identity coding, the range, the referrer (ASCII only:
// anything else would be refused or mangled).
static void BuildHeaders(const DLRequest& req, WCHAR* pszHeaders, int cchHeaders)
{
    int o = _snwprintf(pszHeaders, cchHeaders, L"Accept-Encoding: identity\r\n");
    if (req.bRange)
        o += req.bOpenEnded ? _snwprintf(pszHeaders + o, cchHeaders - o, L"Range: bytes=%I64u-\r\n", req.ullFirst)
                            : _snwprintf(pszHeaders + o, cchHeaders - o, L"Range: bytes=%I64u-%I64u\r\n", req.ullFirst,
                                         req.ullLast);
    if (req.pszReferrer != NULL && req.pszReferrer[0] != '\0') {
        o += _snwprintf(pszHeaders + o, cchHeaders - o, L"Referer: ");
        for (const char* p = req.pszReferrer; *p && o < cchHeaders - 8; ++p) {
            unsigned char c = (unsigned char)*p;
            if (c >= 0x21 && c < 0x7F)
                pszHeaders[o++] = (WCHAR)c;
        }
        o += _snwprintf(pszHeaders + o, cchHeaders - o, L"\r\n");
    }
    pszHeaders[cchHeaders - 1] = L'\0';
}

// Opens the request handle (redirects left to the engine, which follows them bounded) and
// sends the request.
LONG CWinHttpTransport::SendRequest(const DLRequest& req)
{
    const int cchHeaders = 16 * 1024;
    WCHAR* pszTarget = (WCHAR*)malloc((CUrl::MAX_TARGET + 1) * sizeof(WCHAR));
    WCHAR* pszHeaders = (WCHAR*)malloc(cchHeaders * sizeof(WCHAR));
    LONG r = DLE_NO_RESOURCES;
    if (pszTarget != NULL && pszHeaders != NULL) {
        const CUrl& url = *req.pUrl;
        Widen(url.Target(), pszTarget, CUrl::MAX_TARGET + 1);
        BuildHeaders(req, pszHeaders, cchHeaders);
        DWORD dwFlags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                        (url.IsSecure() ? WINHTTP_FLAG_SECURE : 0);
        m_hRequest = ::WinHttpOpenRequest(m_hConnect, L"GET", pszTarget, NULL, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, dwFlags);
        if (m_hRequest == NULL) {
            r = MapError(::GetLastError());
        } else {
            DWORD_PTR ctx = (DWORD_PTR)this;
            ::WinHttpSetOption(m_hRequest, WINHTTP_OPTION_CONTEXT_VALUE, &ctx, sizeof(ctx));
            DWORD dwNoRedirects = WINHTTP_DISABLE_REDIRECTS;
            ::WinHttpSetOption(m_hRequest, WINHTTP_OPTION_DISABLE_FEATURE, &dwNoRedirects, sizeof(dwNoRedirects));
            ::ResetEvent(m_hDone);
            r = ::WinHttpSendRequest(m_hRequest, pszHeaders, (DWORD)-1L, WINHTTP_NO_REQUEST_DATA, 0, 0, ctx)
                    ? Await()
                    : MapError(::GetLastError());
        }
    }
    free(pszTarget);
    free(pszHeaders);
    return r;
}

LONG CWinHttpTransport::ReceiveHead(CHttpHead* pHead)
{
    ::ResetEvent(m_hDone);
    LONG r = ::WinHttpReceiveResponse(m_hRequest, NULL) ? Await() : MapError(::GetLastError());
    return r == DLE_OK ? QueryHeads(pHead) : r;
}

LONG CWinHttpTransport::Read(BYTE* p, DWORD cb, DWORD* pcb)
{
    *pcb = 0;
    if (m_bBodyDone || cb == 0 || m_hRequest == NULL)
        return DLE_OK;
    if (m_cbBufPos == m_cbBufEnd) {
        m_cbRead = 0;
        ::ResetEvent(m_hDone);
        if (!::WinHttpReadData(m_hRequest, m_pBuf, READ_SIZE, NULL))
            return MapError(::GetLastError());
        LONG r = Await();
        if (r != DLE_OK)
            return r;
        if (m_cbRead == 0) {
            m_bBodyDone = TRUE;
            return DLE_OK;
        }
        m_cbBufPos = 0;
        m_cbBufEnd = m_cbRead;
    }
    DWORD n = m_cbBufEnd - m_cbBufPos;
    if (n > cb)
        n = cb;
    memcpy(p, m_pBuf + m_cbBufPos, n);
    m_cbBufPos += n;
    *pcb = n;
    return DLE_OK;
}

void CWinHttpTransport::FinishResponse()
{
    // WinHTTP keeps a fully read connection in its pool; closing the request is all it takes.
    CloseRequest();
}

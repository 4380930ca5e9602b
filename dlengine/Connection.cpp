#include "Connection.h"
#include "AnswerCheck.h"
#include "Internal.h"
#include "SocketTransport.h"
#include "WinHttpTransport.h"
#include <new>

CConnection::CConnection(INetEnv* pEnv) : m_pEnv(pEnv), m_pSocket(NULL), m_pWinHttp(NULL), m_pCurrent(NULL) {}

CConnection::~CConnection()
{
    Close();
    delete m_pSocket;
    // A WinHTTP transport whose request never confirmed closing may still get callbacks.
    if (m_pWinHttp != NULL && !m_pWinHttp->IsAbandoned())
        delete m_pWinHttp;
}

CTransport* CConnection::TransportFor(const CUrl& url)
{
    if (url.IsSecure() || m_pEnv->UseWinHttpForPlain()) {
        if (m_pWinHttp == NULL) {
            HINTERNET hSession = (HINTERNET)m_pEnv->WinHttpSession();
            if (hSession == NULL)
                return NULL;
            m_pWinHttp = new (std::nothrow) CWinHttpTransport(hSession, m_pEnv->StopEvent());
        }
        return m_pWinHttp;
    }
    if (m_pSocket == NULL)
        m_pSocket = new (std::nothrow) CSocketTransport(m_pEnv->Resolver(), m_pEnv->StopEvent());
    return m_pSocket;
}

static BOOL IsRedirect(int nStatus)
{
    return nStatus == 301 || nStatus == 302 || nStatus == 303 || nStatus == 307 || nStatus == 308;
}

static BOOL IsRefusal(int nStatus) { return nStatus == 401 || nStatus == 403 || nStatus == 404 || nStatus == 410; }

LONG CConnection::Open(CUrl* pUrl, const DLRequest& req, CHttpHead* pHead, const CUrl* pOrigin)
{
    BOOL bMayGoBack = pOrigin != NULL && !pUrl->SameAddress(*pOrigin);
    LONG r = Follow(pUrl, req, pHead);
    if (r == DLE_OK && bMayGoBack && IsRefusal(pHead->nStatus)) {
        Finish();
        *pUrl = *pOrigin;
        pHead->Reset();
        r = Follow(pUrl, req, pHead);
    }
    if (r == DLE_OK && !IsRangeAnswerConsistent(*pHead)) {
        // Bytes the framing and Content-Range disagree about are never used.
        Close();
        return DLE_PROTOCOL;
    }
    return r;
}

LONG CConnection::Follow(CUrl* pUrl, const DLRequest& req, CHttpHead* pHead)
{
    m_pCurrent = NULL;
    for (int i = 0; i <= dl::MAX_REDIRECTS; ++i) {
        CTransport* pTransport = TransportFor(*pUrl);
        if (pTransport == NULL)
            return pUrl->IsSecure() ? DLE_SECURE : DLE_NO_RESOURCES;
        DLRequest r = req;
        r.pUrl = pUrl;
        LONG lResult = pTransport->Request(r, pHead);
        if (lResult != DLE_OK) {
            pTransport->Close();
            return lResult;
        }
        if (!IsRedirect(pHead->nStatus)) {
            m_pCurrent = pTransport;
            return DLE_OK;
        }
        CUrl next;
        lResult = pHead->szLocation[0] != '\0' ? pUrl->Resolve(pHead->szLocation, &next) : DLE_REDIRECTS;
        pTransport->FinishResponse();
        if (lResult != DLE_OK)
            return lResult;
        *pUrl = next;
    }
    return DLE_REDIRECTS;
}

LONG CConnection::Read(BYTE* p, DWORD cb, DWORD* pcb)
{
    if (m_pCurrent == NULL) {
        *pcb = 0;
        return DLE_NETWORK;
    }
    return m_pCurrent->Read(p, cb, pcb);
}

void CConnection::Finish()
{
    if (m_pCurrent != NULL)
        m_pCurrent->FinishResponse();
    m_pCurrent = NULL;
}

void CConnection::Close()
{
    if (m_pSocket != NULL)
        m_pSocket->Close();
    if (m_pWinHttp != NULL)
        m_pWinHttp->Close();
    m_pCurrent = NULL;
}

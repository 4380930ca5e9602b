#include "Url.h"
#include "DLEngineApi.h"
#include <string.h>
#include <stdio.h>
#include <stdlib.h>

static const char kHex[] = "0123456789ABCDEF";

CUrl::CUrl()
    : m_bSecure(FALSE), m_bIPv6(FALSE), m_wPort(80)
{
    m_szHost[0] = '\0';
    lstrcpynA(m_szTarget, "/", sizeof(m_szTarget));
}

static BOOL StartsWithNoCase(const char* p, size_t cch, const char* prefix)
{
    size_t n = strlen(prefix);
    return cch >= n && _strnicmp(p, prefix, n) == 0;
}

static BOOL IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_';
}

LONG CUrl::Parse(LPCWSTR pszUrl)
{
    int cchWide = lstrlenW(pszUrl);
    if (cchWide > DL_MAX_URL)
        return DLE_TOO_LONG;
    char szUtf8[DL_MAX_URL * 3 + 1];
    int n = ::WideCharToMultiByte(CP_UTF8, 0, pszUrl, cchWide, szUtf8, sizeof(szUtf8) - 1, NULL, NULL);
    if (n <= 0)
        return DLE_UNSUPPORTED_URL;
    szUtf8[n] = '\0';
    return ParseUtf8(szUtf8, (size_t)n);
}

LONG CUrl::ParseUtf8(const char* p, size_t cch)
{
    // Surrounding blanks are common in copied addresses.
    while (cch != 0 && (*p == ' ' || *p == '\t')) {
        ++p;
        --cch;
    }
    while (cch != 0 && (p[cch - 1] == ' ' || p[cch - 1] == '\t' || p[cch - 1] == '\r' || p[cch - 1] == '\n'))
        --cch;

    if (StartsWithNoCase(p, cch, "http://")) {
        m_bSecure = FALSE;
        m_wPort = 80;
        p += 7;
        cch -= 7;
    } else if (StartsWithNoCase(p, cch, "https://")) {
        m_bSecure = TRUE;
        m_wPort = 443;
        p += 8;
        cch -= 8;
    } else {
        return DLE_UNSUPPORTED_URL;
    }

    size_t cchAuth = 0;
    while (cchAuth < cch && p[cchAuth] != '/' && p[cchAuth] != '?' && p[cchAuth] != '#')
        ++cchAuth;
    if (memchr(p, '@', cchAuth) != NULL)
        return DLE_UNSUPPORTED_URL;   // credentials in addresses are not supported

    const char* host = p;
    size_t cchHost = cchAuth;
    const char* port = NULL;
    size_t cchPort = 0;
    m_bIPv6 = FALSE;
    if (cchAuth != 0 && p[0] == '[') {
        const char* close = (const char*)memchr(p, ']', cchAuth);
        if (close == NULL)
            return DLE_UNSUPPORTED_URL;
        host = p + 1;
        cchHost = (size_t)(close - host);
        for (size_t i = 0; i < cchHost; ++i) {
            char c = host[i];
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.'))
                return DLE_UNSUPPORTED_URL;
        }
        m_bIPv6 = TRUE;
        const char* after = close + 1;
        size_t rest = cchAuth - (size_t)(after - p);
        if (rest != 0) {
            if (*after != ':')
                return DLE_UNSUPPORTED_URL;
            port = after + 1;
            cchPort = rest - 1;
        }
    } else {
        const char* colon = (const char*)memchr(p, ':', cchAuth);
        if (colon != NULL) {
            cchHost = (size_t)(colon - p);
            port = colon + 1;
            cchPort = cchAuth - cchHost - 1;
        }
        for (size_t i = 0; i < cchHost; ++i) {
            if (!IsHostChar(host[i]))
                return DLE_UNSUPPORTED_URL;
        }
    }
    if (cchHost == 0 || cchHost > MAX_HOST)
        return DLE_UNSUPPORTED_URL;
    memcpy(m_szHost, host, cchHost);
    m_szHost[cchHost] = '\0';

    if (port != NULL && cchPort != 0) {
        if (cchPort > 5)
            return DLE_UNSUPPORTED_URL;
        DWORD v = 0;
        for (size_t i = 0; i < cchPort; ++i) {
            if (port[i] < '0' || port[i] > '9')
                return DLE_UNSUPPORTED_URL;
            v = v * 10 + (DWORD)(port[i] - '0');
        }
        if (v == 0 || v > 65535)
            return DLE_UNSUPPORTED_URL;
        m_wPort = (WORD)v;
    }

    // The request target: everything up to the fragment, with bytes that may not appear in
    // a request line percent-encoded (existing escapes are kept as they are).
    const char* path = p + cchAuth;
    size_t cchPath = cch - cchAuth;
    size_t o = 0;
    if (cchPath == 0 || path[0] != '/')
        m_szTarget[o++] = '/';
    for (size_t i = 0; i < cchPath && path[i] != '#'; ++i) {
        unsigned char c = (unsigned char)path[i];
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
            c == '`' || c == '{' || c == '|' || c == '}') {
            if (o + 3 > MAX_TARGET)
                return DLE_TOO_LONG;
            m_szTarget[o++] = '%';
            m_szTarget[o++] = kHex[c >> 4];
            m_szTarget[o++] = kHex[c & 15];
        } else {
            if (o + 1 > MAX_TARGET)
                return DLE_TOO_LONG;
            m_szTarget[o++] = (char)c;
        }
    }
    m_szTarget[o] = '\0';
    return DLE_OK;
}

void CUrl::HostHeader(char* psz, size_t cch) const
{
    BOOL bDefault = m_wPort == (m_bSecure ? 443 : 80);
    if (m_bIPv6)
        _snprintf(psz, cch, bDefault ? "[%s]" : "[%s]:%u", m_szHost, (unsigned)m_wPort);
    else
        _snprintf(psz, cch, bDefault ? "%s" : "%s:%u", m_szHost, (unsigned)m_wPort);
    psz[cch - 1] = '\0';
}

BOOL CUrl::SameOrigin(const CUrl& other) const
{
    return m_bSecure == other.m_bSecure && m_wPort == other.m_wPort && lstrcmpiA(m_szHost, other.m_szHost) == 0;
}

LONG CUrl::Resolve(const char* pszLocation, CUrl* pOut) const
{
    size_t cchLoc = strlen(pszLocation);
    if (cchLoc == 0)
        return DLE_REDIRECTS;
    if (StartsWithNoCase(pszLocation, cchLoc, "http://") || StartsWithNoCase(pszLocation, cchLoc, "https://"))
        return pOut->ParseUtf8(pszLocation, cchLoc) == DLE_OK ? DLE_OK : DLE_REDIRECTS;
    // Any other scheme ("ftp:", "file:") is not followed.
    size_t i = 0;
    while (i < cchLoc && (IsHostChar(pszLocation[i]) || pszLocation[i] == '+') && pszLocation[i] != '_')
        ++i;
    if (i != 0 && i < cchLoc && pszLocation[i] == ':' &&
        ((pszLocation[0] >= 'a' && pszLocation[0] <= 'z') || (pszLocation[0] >= 'A' && pszLocation[0] <= 'Z')))
        return DLE_REDIRECTS;

    // Build an absolute address from this one's scheme and authority.
    size_t cchBuf = 16 + MAX_HOST + 8 + MAX_TARGET + cchLoc + 1;
    char* psz = (char*)malloc(cchBuf);
    if (psz == NULL)
        return DLE_NO_RESOURCES;
    char szAuth[MAX_HOST + 16];
    HostHeader(szAuth, sizeof(szAuth));
    const char* scheme = m_bSecure ? "https:" : "http:";
    if (cchLoc >= 2 && pszLocation[0] == '/' && pszLocation[1] == '/') {
        _snprintf(psz, cchBuf, "%s%s", scheme, pszLocation);
    } else if (pszLocation[0] == '/') {
        _snprintf(psz, cchBuf, "%s//%s%s", scheme, szAuth, pszLocation);
    } else if (pszLocation[0] == '?') {
        size_t cchPath = strcspn(m_szTarget, "?");
        _snprintf(psz, cchBuf, "%s//%s%.*s%s", scheme, szAuth, (int)cchPath, m_szTarget, pszLocation);
    } else {
        // Relative to the folder of the current path.
        size_t cchPath = strcspn(m_szTarget, "?");
        size_t cchDir = cchPath;
        while (cchDir != 0 && m_szTarget[cchDir - 1] != '/')
            --cchDir;
        _snprintf(psz, cchBuf, "%s//%s%.*s%s", scheme, szAuth, (int)cchDir, m_szTarget, pszLocation);
    }
    psz[cchBuf - 1] = '\0';
    LONG r = pOut->ParseUtf8(psz, strlen(psz));
    free(psz);
    return r == DLE_OK ? DLE_OK : DLE_REDIRECTS;
}

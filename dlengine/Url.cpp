#include "Url.h"
#include "Internal.h"
#include <string.h>
#include <stdio.h>
#include <stdlib.h>

static const char kHex[] = "0123456789ABCDEF";

CUrl::CUrl() : m_bSecure(FALSE), m_bIPv6(FALSE), m_wPort(80)
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
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
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

// Surrounding blanks are common in copied addresses.
static void TrimBlanks(const char** pp, size_t* pcch)
{
    const char* p = *pp;
    size_t cch = *pcch;
    while (cch != 0 && (*p == ' ' || *p == '\t')) {
        ++p;
        --cch;
    }
    while (cch != 0 && (p[cch - 1] == ' ' || p[cch - 1] == '\t' || p[cch - 1] == '\r' || p[cch - 1] == '\n'))
        --cch;
    *pp = p;
    *pcch = cch;
}

LONG CUrl::ParseUtf8(const char* p, size_t cch)
{
    TrimBlanks(&p, &cch);
    LONG r = ParseScheme(&p, &cch);
    if (r != DLE_OK)
        return r;
    size_t cchAuth = 0;
    while (cchAuth < cch && p[cchAuth] != '/' && p[cchAuth] != '?' && p[cchAuth] != '#')
        ++cchAuth;
    r = ParseAuthority(p, cchAuth);
    if (r != DLE_OK)
        return r;
    return EncodeTarget(p + cchAuth, cch - cchAuth);
}

LONG CUrl::ParseScheme(const char** pp, size_t* pcch)
{
    size_t cchScheme;
    if (StartsWithNoCase(*pp, *pcch, "http://")) {
        m_bSecure = FALSE;
        m_wPort = 80;
        cchScheme = 7;
    } else if (StartsWithNoCase(*pp, *pcch, "https://")) {
        m_bSecure = TRUE;
        m_wPort = 443;
        cchScheme = 8;
    } else {
        return DLE_UNSUPPORTED_URL;
    }
    *pp += cchScheme;
    *pcch -= cchScheme;
    return DLE_OK;
}

// "host", "host:port", "[v6]" or "[v6]:port": the host and port text, unchecked except for
// the bracketed literal's characters (*pbIPv6 once they pass).
static LONG SplitAuthority(const char* p, size_t cchAuth, const char** pHost, size_t* pcchHost, const char** pPort,
                           size_t* pcchPort, BOOL* pbIPv6)
{
    *pHost = p;
    *pcchHost = cchAuth;
    *pPort = NULL;
    *pcchPort = 0;
    *pbIPv6 = FALSE;
    if (cchAuth == 0 || p[0] != '[') {
        const char* colon = (const char*)memchr(p, ':', cchAuth);
        if (colon != NULL) {
            *pcchHost = (size_t)(colon - p);
            *pPort = colon + 1;
            *pcchPort = cchAuth - *pcchHost - 1;
        }
        return DLE_OK;
    }
    const char* close = (const char*)memchr(p, ']', cchAuth);
    if (close == NULL)
        return DLE_UNSUPPORTED_URL;
    *pHost = p + 1;
    *pcchHost = (size_t)(close - *pHost);
    for (size_t i = 0; i < *pcchHost; ++i) {
        char c = (*pHost)[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.'))
            return DLE_UNSUPPORTED_URL;
    }
    *pbIPv6 = TRUE;
    const char* after = close + 1;
    size_t rest = cchAuth - (size_t)(after - p);
    if (rest != 0) {
        if (*after != ':')
            return DLE_UNSUPPORTED_URL;
        *pPort = after + 1;
        *pcchPort = rest - 1;
    }
    return DLE_OK;
}

// Decimal 1 to 65535, at most five digits.
static BOOL ParsePort(const char* p, size_t cch, WORD* pwPort)
{
    ULONGLONG v = 0;
    if (cch > 5 || !dl::ParseDecimal(p, cch, &v) || v == 0 || v > 65535)
        return FALSE;
    *pwPort = (WORD)v;
    return TRUE;
}

LONG CUrl::ParseAuthority(const char* p, size_t cchAuth)
{
    if (memchr(p, '@', cchAuth) != NULL)
        return DLE_UNSUPPORTED_URL;  // credentials in addresses are not supported
    const char* host;
    const char* port;
    size_t cchHost, cchPort;
    BOOL bIPv6 = FALSE;
    LONG r = SplitAuthority(p, cchAuth, &host, &cchHost, &port, &cchPort, &bIPv6);
    m_bIPv6 = bIPv6;
    if (r != DLE_OK)
        return r;
    for (size_t i = 0; !bIPv6 && i < cchHost; ++i) {
        if (!IsHostChar(host[i]))
            return DLE_UNSUPPORTED_URL;
    }
    if (cchHost == 0 || cchHost > MAX_HOST)
        return DLE_UNSUPPORTED_URL;
    memcpy(m_szHost, host, cchHost);
    m_szHost[cchHost] = '\0';
    if (port != NULL && cchPort != 0 && !ParsePort(port, cchPort, &m_wPort))
        return DLE_UNSUPPORTED_URL;
    return DLE_OK;
}

// The request target: everything up to the fragment, with bytes that may not appear in a
// request line percent-encoded (existing escapes are kept as they are).
LONG CUrl::EncodeTarget(const char* path, size_t cchPath)
{
    size_t o = 0;
    if (cchPath == 0 || path[0] != '/')
        m_szTarget[o++] = '/';
    for (size_t i = 0; i < cchPath && path[i] != '#'; ++i) {
        unsigned char c = (unsigned char)path[i];
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
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

BOOL CUrl::SameAddress(const CUrl& other) const
{
    return SameOrigin(other) && strcmp(m_szTarget, other.m_szTarget) == 0;
}

// CUrl: an http:// or https:// address split into what a request needs: host, port and the
// request target (path and query, percent-encoded UTF-8, fragment dropped). Also resolves a
// redirect's Location against the address it came from.
#pragma once
#include <windows.h>

class CUrl
{
public:
    enum { MAX_HOST = 255, MAX_TARGET = 8191 };

    CUrl();

    // DLE_OK, DLE_UNSUPPORTED_URL (scheme, user info, bad host or port) or DLE_TOO_LONG.
    LONG Parse(LPCWSTR pszUrl);
    LONG ParseUtf8(const char* pszUrl, size_t cch);
    // The absolute address that a Location header value names, relative to this one.
    LONG Resolve(const char* pszLocation, CUrl* pOut) const;

    BOOL IsSecure() const { return m_bSecure; }
    const char* Host() const { return m_szHost; }  // without brackets for IPv6 literals
    WORD Port() const { return m_wPort; }
    const char* Target() const { return m_szTarget; }
    // "host" or "host:port" for the Host header ("[v6]" bracketed).
    void HostHeader(char* psz, size_t cch) const;
    BOOL SameOrigin(const CUrl& other) const;
    BOOL SameAddress(const CUrl& other) const;

private:
    // The steps of ParseUtf8: each consumes or stores its piece.
    LONG ParseScheme(const char** pp, size_t* pcch);
    LONG ParseAuthority(const char* p, size_t cchAuth);
    LONG EncodeTarget(const char* path, size_t cchPath);

    BOOL m_bSecure;
    BOOL m_bIPv6;
    WORD m_wPort;
    char m_szHost[MAX_HOST + 1];
    char m_szTarget[MAX_TARGET + 1];
};

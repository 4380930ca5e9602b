#include "HttpHead.h"
#include "Internal.h"
#include <string.h>

void CHttpHead::Reset()
{
    nStatus = 0;
    bHttp11 = FALSE;
    llContentLength = -1;
    bChunked = FALSE;
    bClose = FALSE;
    bKeepAliveToken = FALSE;
    bHasRange = FALSE;
    ullRangeFirst = 0;
    ullRangeLast = 0;
    llRangeTotal = -1;
    dwRetryAfterSec = 0;
    szETag[0] = '\0';
    szLastModified[0] = '\0';
    szLocation[0] = '\0';
}

static BOOL EqualsNoCase(const char* p, size_t cch, const char* lit)
{
    size_t n = strlen(lit);
    return cch == n && _strnicmp(p, lit, n) == 0;
}

static void Trim(const char** pp, size_t* pcch)
{
    const char* p = *pp;
    size_t cch = *pcch;
    while (cch != 0 && (*p == ' ' || *p == '\t')) {
        ++p;
        --cch;
    }
    while (cch != 0 && (p[cch - 1] == ' ' || p[cch - 1] == '\t'))
        --cch;
    *pp = p;
    *pcch = cch;
}

// The next item of a comma-separated header value list from *pi on, trimmed (it may be
// empty); FALSE past the end.
static BOOL NextListItem(const char* p, size_t cch, size_t* pi, const char** pItem, size_t* pcchItem)
{
    size_t i = *pi;
    if (i >= cch)
        return FALSE;
    size_t j = i;
    while (j < cch && p[j] != ',')
        ++j;
    *pItem = p + i;
    *pcchItem = j - i;
    Trim(pItem, pcchItem);
    *pi = j + 1;
    return TRUE;
}

// Does a comma-separated header value list contain the token (any case)?
static BOOL HasToken(const char* p, size_t cch, const char* token)
{
    size_t i = 0;
    const char* t;
    size_t n;
    while (NextListItem(p, cch, &i, &t, &n)) {
        if (EqualsNoCase(t, n, token))
            return TRUE;
    }
    return FALSE;
}

static void CopyValue(char* dst, size_t cchDst, const char* p, size_t cch)
{
    if (cch >= cchDst)
        cch = cchDst - 1;
    memcpy(dst, p, cch);
    dst[cch] = '\0';
}

LONG CHttpHead::ParseContentRange(const char* p, size_t cch)
{
    Trim(&p, &cch);
    if (cch < 6 || _strnicmp(p, "bytes", 5) != 0 || (p[5] != ' ' && p[5] != '='))
        return DLE_PROTOCOL;
    p += 6;
    cch -= 6;
    Trim(&p, &cch);
    const char* slash = (const char*)memchr(p, '/', cch);
    if (slash == NULL)
        return DLE_PROTOCOL;
    size_t cchSpec = (size_t)(slash - p);
    const char* total = slash + 1;
    size_t cchTotal = cch - cchSpec - 1;
    ULONGLONG t = 0;
    if (cchTotal == 1 && total[0] == '*')
        llRangeTotal = -1;
    else if (dl::ParseDecimal(total, cchTotal, &t) && t <= 0x7FFFFFFFFFFFFFFFull)
        llRangeTotal = (LONGLONG)t;
    else
        return DLE_PROTOCOL;
    if (cchSpec == 1 && p[0] == '*') {
        bHasRange = FALSE;
        return DLE_OK;
    }
    const char* dash = (const char*)memchr(p, '-', cchSpec);
    if (dash == NULL)
        return DLE_PROTOCOL;
    ULONGLONG a = 0, b = 0;
    if (!dl::ParseDecimal(p, (size_t)(dash - p), &a) || !dl::ParseDecimal(dash + 1, cchSpec - (size_t)(dash - p) - 1, &b) ||
        b < a)
        return DLE_PROTOCOL;
    if (llRangeTotal >= 0 && b >= (ULONGLONG)llRangeTotal)
        return DLE_PROTOCOL;
    bHasRange = TRUE;
    ullRangeFirst = a;
    ullRangeLast = b;
    return DLE_OK;
}

LONG CHttpHead::ApplyField(const char* pName, size_t cchName, const char* v, size_t cchV)
{
    Trim(&v, &cchV);
    if (EqualsNoCase(pName, cchName, "Content-Length")) {
        ULONGLONG n = 0;
        if (!dl::ParseDecimal(v, cchV, &n) || n > 0x7FFFFFFFFFFFFFFFull)
            return DLE_PROTOCOL;
        // Two different lengths make the framing ambiguous.
        if (llContentLength >= 0 && (ULONGLONG)llContentLength != n)
            return DLE_PROTOCOL;
        llContentLength = (LONGLONG)n;
    } else if (EqualsNoCase(pName, cchName, "Transfer-Encoding")) {
        // Any coding but chunked would leave bytes that are not the file's.
        size_t i = 0;
        const char* t;
        size_t n;
        while (NextListItem(v, cchV, &i, &t, &n)) {
            if (EqualsNoCase(t, n, "chunked"))
                bChunked = TRUE;
            else if (n != 0 && !EqualsNoCase(t, n, "identity"))
                return DLE_PROTOCOL;
        }
    } else if (EqualsNoCase(pName, cchName, "Connection")) {
        if (HasToken(v, cchV, "close"))
            bClose = TRUE;
        if (HasToken(v, cchV, "keep-alive"))
            bKeepAliveToken = TRUE;
    } else if (EqualsNoCase(pName, cchName, "Content-Range")) {
        return ParseContentRange(v, cchV);
    } else if (EqualsNoCase(pName, cchName, "ETag")) {
        CopyValue(szETag, sizeof(szETag), v, cchV);
    } else if (EqualsNoCase(pName, cchName, "Last-Modified")) {
        CopyValue(szLastModified, sizeof(szLastModified), v, cchV);
    } else if (EqualsNoCase(pName, cchName, "Location")) {
        CopyValue(szLocation, sizeof(szLocation), v, cchV);
    } else if (EqualsNoCase(pName, cchName, "Retry-After")) {
        ULONGLONG s = 0;
        if (dl::ParseDecimal(v, cchV, &s))
            dwRetryAfterSec = s > 3600 ? 3600 : (DWORD)s;
    } else if (EqualsNoCase(pName, cchName, "Content-Encoding")) {
        if (cchV != 0 && !EqualsNoCase(v, cchV, "identity"))
            return DLE_PROTOCOL;  // the bytes would not be the file's
    }
    return DLE_OK;
}

LONG CHttpHead::Parse(const char* p, DWORD cb)
{
    Reset();
    const char* end = p + cb;
    const char* eol = (const char*)memchr(p, '\n', cb);
    if (eol == NULL)
        return DLE_PROTOCOL;
    size_t cchLine = (size_t)(eol - p);
    if (cchLine != 0 && p[cchLine - 1] == '\r')
        --cchLine;
    // "HTTP/1.1 206 Partial Content"
    if (cchLine < 12 || _strnicmp(p, "HTTP/1.", 7) != 0 || p[8] != ' ')
        return DLE_PROTOCOL;
    bHttp11 = p[7] != '0';
    if (p[9] < '1' || p[9] > '5' || p[10] < '0' || p[10] > '9' || p[11] < '0' || p[11] > '9')
        return DLE_PROTOCOL;
    nStatus = (p[9] - '0') * 100 + (p[10] - '0') * 10 + (p[11] - '0');

    const char* line = eol + 1;
    while (line < end) {
        eol = (const char*)memchr(line, '\n', (size_t)(end - line));
        if (eol == NULL)
            return DLE_PROTOCOL;
        size_t cch = (size_t)(eol - line);
        if (cch != 0 && line[cch - 1] == '\r')
            --cch;
        if (cch == 0)
            break;  // the blank line ends the head
        if (line[0] == ' ' || line[0] == '\t')
            return DLE_PROTOCOL;  // obsolete line folding
        const char* colon = (const char*)memchr(line, ':', cch);
        if (colon == NULL || colon == line)
            return DLE_PROTOCOL;
        LONG r = ApplyField(line, (size_t)(colon - line), colon + 1, cch - (size_t)(colon - line) - 1);
        if (r != DLE_OK)
            return r;
        line = eol + 1;
    }
    if (!bHttp11 && !bKeepAliveToken)
        bClose = TRUE;
    return DLE_OK;
}

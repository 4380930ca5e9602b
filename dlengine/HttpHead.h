// CHttpHead: the parts of an HTTP/1.x response head that the engine acts on (status,
// framing, Content-Range, the validators ETag and Last-Modified, Location, Retry-After).
// Filled from raw head bytes by the socket client, or field by field by the WinHTTP client.
#pragma once
#include <windows.h>

class CHttpHead
{
public:
    enum { MAX_VALIDATOR = 255, MAX_LOCATION = 4095 };

    CHttpHead() { Reset(); }
    void Reset();

    // Parses the head (status line and fields, through the blank line). DLE_OK or DLE_PROTOCOL.
    LONG Parse(const char* p, DWORD cb);
    // Applies one "Name: value" field (name and value without the line break).
    LONG ApplyField(const char* pName, size_t cchName, const char* pValue, size_t cchValue);
    // Parses "bytes a-b/t", "bytes a-b/*" or "bytes */t".
    LONG ParseContentRange(const char* p, size_t cch);

    int nStatus;
    BOOL bHttp11;
    LONGLONG llContentLength;  // -1 when absent
    BOOL bChunked;
    BOOL bClose;           // the server closes the connection after this response
    BOOL bKeepAliveToken;  // "Connection: keep-alive" (lets an HTTP/1.0 response keep it)
    BOOL bHasRange;        // Content-Range with first-last present
    ULONGLONG ullRangeFirst;
    ULONGLONG ullRangeLast;
    LONGLONG llRangeTotal;  // -1 for "*" or no Content-Range
    DWORD dwRetryAfterSec;  // 0 when absent or a date
    char szETag[MAX_VALIDATOR + 1];
    char szLastModified[MAX_VALIDATOR + 1];
    char szLocation[MAX_LOCATION + 1];
};
